// MarloTrc: the desktop trace program.

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <csignal>

#include "app/MarloTrcApp.h"
#include "app/ProgramDocuments.h"
#include "platform/Version.h"

int main(int argc, char* argv[]) {
    // Answered before Qt starts, so it works without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("MarloTrc %s\n", platform::kVersionText);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: MarloTrc [--version] [--help]\n"
                        "The ISDN D-channel trace program; see MarloTrc(1) and the README.\n");
            return 0;
        }
    }
    // A file size limit makes the trace writer's write fail (and the trace
    // stop with a message) instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QString::fromLatin1(platform::kVersionText));
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
