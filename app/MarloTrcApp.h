#pragma once
// CMarloTrcApp: start-up and exit of the desktop program: the single-instance
// rule, the profile with the recent-file list, the main frame. One per
// process; user-interface thread.

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;
class QSettings;

namespace app {

class CMainFrame;
class DocumentServices;

class CMarloTrcApp final : public QObject {
    Q_OBJECT
public:
    // The name every instance of the program on this desktop meets under.
    static QString InstanceName();

    explicit CMarloTrcApp(DocumentServices& documents, QObject* parent = nullptr);
    ~CMarloTrcApp() override;

    // Start-up. False when another instance runs (it has been asked to come
    // forward) or the main frame could not be made; the process then ends
    // without a window and without a message.
    bool InitInstance();
    // Saves the profile and stops answering later instances.
    void ExitInstance();

    CMainFrame* MainFrame() const { return m_frame.get(); }

private:
    // Asks a running instance to come forward. True when one answered.
    static bool ActivateRunningInstance();
    void BringForward();

    DocumentServices& m_documents;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<QLocalServer> m_server;
    std::unique_ptr<CMainFrame> m_frame;
    bool m_classRegistered = false;
};

}  // namespace app
