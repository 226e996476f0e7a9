#pragma once
// QtUiServices: what the documents ask of the user, answered with Qt
// dialogs, the override cursor and the main window's trace status pane.
// Also the Qt message box handler and the desktop bell. User-interface
// thread (the message box and bell handlers hop onto it when called from
// another thread).

#include <QDialog>
#include <functional>

#include "platform/MessageBox.h"
#include "trace/UiServices.h"

class QListWidget;

namespace app {

// "Select an Adapter": the adapters not yet in use, one entry each, for the
// user to pick the one to open.
class CSelectAdapterDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CSelectAdapterDlg(const std::vector<std::string>& entries, QWidget* parent = nullptr);
    QListWidget* List() const { return m_list; }

private:
    QListWidget* m_list;  // the adapters: single selection, in the order offered
};

// "Log files (*.log)|*.log|All files (*.*)|*.*||" as a Qt name filter list.
QString QtFilter(const std::string& pipeFilter);

class QtUiServices final : public trace::UiServices {
public:
    using StatusSink = std::function<void(const std::string&)>;
    using RecentSink = std::function<void(const std::string&)>;
    QtUiServices(QWidget* dialogParent, StatusSink status, RecentSink recent);

    std::optional<std::filesystem::path> AskSaveFileName(const trace::FileDialogRequest& request) override;
    std::optional<std::filesystem::path> AskOpenFileName(const trace::FileDialogRequest& request) override;
    std::optional<int> SelectAdapter(const std::vector<std::string>& entries) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void SetTraceStatusText(const std::string& text) override;
    void AddToRecentFiles(const std::string& name) override;

private:
    QWidget* m_parent;
    StatusSink m_status;
    RecentSink m_recent;
};

// The message box every core message goes through: caption "MarloTrc"
// unless the request names one; OK boxes warn, Yes/No boxes ask.
platform::MbResult QtMessageBox(const platform::MessageBoxRequest& request);
// Installs QtMessageBox and the desktop bell for platform::Beep.
void InstallQtHandlers();

}  // namespace app
