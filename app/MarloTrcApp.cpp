#include "app/MarloTrcApp.h"

#include <QApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QScreen>
#include <QSettings>
#include <unistd.h>

#include "app/MainFrame.h"
#include "app/QtUiServices.h"
#include "app/ToolbarIcons.h"

namespace app {
namespace {

constexpr int kConnectTimeoutMs = 2000;
const char* const kRecentGroup = "Recent File List";

}  // namespace

QString CMarloTrcApp::InstanceName() {
    // One per user: the socket lives in the shared temporary folder.
    return QStringLiteral("%1-%2").arg(QString::fromLatin1(kMainWindowClass)).arg(::getuid());
}

CMarloTrcApp::CMarloTrcApp(DocumentServices& documents, QObject* parent) : QObject(parent), m_documents(documents) {}

CMarloTrcApp::~CMarloTrcApp() { ExitInstance(); }

bool CMarloTrcApp::ActivateRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(InstanceName());
    if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
    socket.write("activate\n");
    socket.waitForBytesWritten(kConnectTimeoutMs);
    // The answer says the window came forward; the end of the link is enough.
    socket.waitForReadyRead(kConnectTimeoutMs);
    return true;
}

bool CMarloTrcApp::InitInstance() {
    // Two programs starting at once must not both become the first: the
    // check and the claim of the name happen under one lock.
    QLockFile lock(QDir::temp().filePath(InstanceName() + QStringLiteral(".lock")));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(kConnectTimeoutMs * 2)) return false;
    if (ActivateRunningInstance()) return false;

    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(InstanceName());  // a socket left by a program that died
    if (!m_server->listen(InstanceName())) return false;
    m_classRegistered = true;
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::readyRead, peer, [this, peer] {
                peer->readAll();
                BringForward();
                peer->write("ok\n");
                peer->flush();
                peer->disconnectFromServer();
            });
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
    });
    lock.unlock();

    QApplication::setWindowIcon(ProgramIcon());
    InstallQtHandlers();
    m_settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("MarloTrc"),
                                             QStringLiteral("MarloTrc"));
    m_frame = std::make_unique<CMainFrame>(m_documents);
    QStringList recent;
    m_settings->beginGroup(QLatin1String(kRecentGroup));
    for (int i = 1; i <= CMainFrame::kRecentFileCount; ++i) {
        const QString file = m_settings->value(QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty()) recent << file;
    }
    m_settings->endGroup();
    m_frame->SetRecentFiles(recent);
    // The whole screen also where no window manager maximises windows.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) m_frame->setGeometry(screen->availableGeometry());
    m_frame->showMaximized();
    m_frame->repaint();
    return true;
}

void CMarloTrcApp::BringForward() {
    if (!m_frame) return;
    if (m_frame->isMinimized()) m_frame->setWindowState((m_frame->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    // The last active popup (a dialog on top) comes forward, else the window.
    QWidget* popup = QApplication::activeModalWidget();
    QWidget* target = popup != nullptr ? popup : m_frame.get();
    target->raise();
    target->activateWindow();
}

void CMarloTrcApp::ExitInstance() {
    if (m_frame && m_settings) {
        m_settings->beginGroup(QLatin1String(kRecentGroup));
        m_settings->remove(QString());
        const QStringList& recent = m_frame->RecentFiles();
        for (int i = 0; i < recent.size(); ++i) m_settings->setValue(QStringLiteral("File%1").arg(i + 1), recent[i]);
        m_settings->endGroup();
        m_settings->sync();
    }
    m_frame.reset();
    if (m_classRegistered) {
        m_server->close();
        m_classRegistered = false;
    }
}

}  // namespace app
