// MarloTrc: the desktop trace program.

#include <QApplication>

#include "app/MarloTrcApp.h"
#include "app/ProgramDocuments.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MarloTrc"));
    QApplication::setOrganizationName(QStringLiteral("MarloTrc"));
    QApplication::setDesktopFileName(QStringLiteral("marlotrc"));
    app::ProgramDocuments documents;
    app::CMarloTrcApp program(documents);
    // A second instance, or a main window that could not be made, ends here
    // without a word.
    if (!program.InitInstance()) return 0;
    const int result = QApplication::exec();
    program.ExitInstance();
    return result;
}
