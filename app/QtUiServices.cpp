#include "app/QtUiServices.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QThread>
#include <QVBoxLayout>

#include "platform/Beep.h"

namespace app {

CSelectAdapterDlg::CSelectAdapterDlg(const std::vector<std::string>& entries, QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Select an Adapter"));
    m_list->setObjectName(QStringLiteral("1002"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSortingEnabled(false);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (const std::string& entry : entries) m_list->addItem(QString::fromStdString(entry));
    if (m_list->count() > 0) m_list->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

QString QtFilter(const std::string& pipeFilter) {
    // Pairs of "name|pattern", ended by "||".
    const QStringList parts = QString::fromStdString(pipeFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        filters << parts[i];
    }
    return filters.join(QStringLiteral(";;"));
}

QtUiServices::QtUiServices(QWidget* dialogParent, StatusSink status, RecentSink recent)
    : m_parent(dialogParent), m_status(std::move(status)), m_recent(std::move(recent)) {}

namespace {

std::optional<std::filesystem::path> RunFileDialog(QWidget* parent, const trace::FileDialogRequest& request,
                                                   QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(QtFilter(request.filter).split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (!request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QFileInfo initial(QString::fromStdString(request.initialName));
    if (initial.path() != QStringLiteral(".")) dialog.setDirectory(initial.absolutePath());
    dialog.selectFile(initial.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().constFirst().toStdString());
}

}  // namespace

std::optional<std::filesystem::path> QtUiServices::AskSaveFileName(const trace::FileDialogRequest& request) {
    return RunFileDialog(m_parent, request, QFileDialog::AcceptSave);
}

std::optional<std::filesystem::path> QtUiServices::AskOpenFileName(const trace::FileDialogRequest& request) {
    return RunFileDialog(m_parent, request, QFileDialog::AcceptOpen);
}

std::optional<int> QtUiServices::SelectAdapter(const std::vector<std::string>& entries) {
    CSelectAdapterDlg dialog(entries, m_parent);
    if (dialog.exec() != QDialog::Accepted || dialog.List()->currentRow() < 0) return std::nullopt;
    return dialog.List()->currentRow();
}

void QtUiServices::BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void QtUiServices::EndWaitCursor() { QApplication::restoreOverrideCursor(); }

void QtUiServices::SetTraceStatusText(const std::string& text) {
    if (m_status) m_status(text);
}

void QtUiServices::AddToRecentFiles(const std::string& name) {
    if (m_recent) m_recent(name);
}

platform::MbResult QtMessageBox(const platform::MessageBoxRequest& request) {
    // Messages may come from a worker thread; the box itself lives on the
    // user-interface thread, and the caller waits for the answer.
    if (QThread::currentThread() != qApp->thread()) {
        platform::MbResult result = platform::MbResult::Ok;
        QMetaObject::invokeMethod(
            qApp, [&] { result = QtMessageBox(request); }, Qt::BlockingQueuedConnection);
        return result;
    }
    const QString caption =
        request.caption.empty() ? QStringLiteral("MarloTrc") : QString::fromStdString(request.caption);
    const QString text = QString::fromStdString(request.text);
    QWidget* parent = QApplication::activeWindow();
    if (request.buttons == platform::MbButtons::YesNo) {
        return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes
                   ? platform::MbResult::Yes
                   : platform::MbResult::No;
    }
    if (request.buttons == platform::MbButtons::YesNoCancel || request.buttons == platform::MbButtons::SaveDiscardCancel) {
        // Escape and the close box answer Cancel: nothing is discarded.
        const bool save = request.buttons == platform::MbButtons::SaveDiscardCancel;
        const auto yes = save ? QMessageBox::Save : QMessageBox::Yes;
        const auto no = save ? QMessageBox::Discard : QMessageBox::No;
        const auto answer = QMessageBox::question(parent, caption, text, yes | no | QMessageBox::Cancel,
                                                  QMessageBox::Cancel);
        if (answer == yes) return platform::MbResult::Yes;
        return answer == no ? platform::MbResult::No : platform::MbResult::Cancel;
    }
    if (request.icon == platform::MbIcon::Information)
        QMessageBox::information(parent, caption, text, QMessageBox::Ok);
    else
        QMessageBox::warning(parent, caption, text, QMessageBox::Ok);
    return platform::MbResult::Ok;
}

void InstallQtHandlers() {
    platform::SetMessageBoxHandler(QtMessageBox);
    platform::SetBeepHandler([](std::uint32_t, std::uint32_t) {
        QMetaObject::invokeMethod(qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
    });
}

}  // namespace app
