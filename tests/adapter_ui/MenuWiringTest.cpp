// The card's windows reached from the program's menus: an adapter trace
// window on the emulated card, View > Card Status with its check mark,
// View > Card Statistics in its child frame, View > Information, and
// File > Save Diagnostics; and a screenshot of the main window with the
// statistics and Card Status windows open.

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QtTest>

#include "adapter/MarloTrcDoc.h"
#include "adapter/ui/AdapterInformation.h"
#include "adapter/ui/CardWindows.h"
#include "adapter/ui/StatsForm.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/ProgramDocuments.h"
#include "cardsim/Card.h"
#include "platform/MessageBox.h"
#include "tests/support/MainFramePeer.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedUi.h"
#include "views/TraceChildFrame.h"

using namespace app;

class MenuWiringTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cardWindowsFromTheMenus();
    void screenshotOfTheMainWindow();

private:
    QTemporaryDir m_dir;
    std::optional<testsupport::RecordingMessageBox> m_boxes;
    std::unique_ptr<ProgramDocuments> m_documents;
    std::unique_ptr<CMainFrame> m_frame;
    testsupport::ScriptedUi* m_ui = nullptr;  // owned by the frame
};

void MenuWiringTest::initTestCase() {
    // Trace log files go to the current folder.
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void MenuWiringTest::init() {
    m_boxes.emplace();
    cardsim::InstallCard(std::make_shared<cardsim::Card>());
    m_documents = std::make_unique<ProgramDocuments>();
    m_frame = std::make_unique<CMainFrame>(*m_documents);
    auto ui = std::make_unique<testsupport::ScriptedUi>();
    m_ui = ui.get();
    Peer(*m_frame).SetUiServices(std::move(ui));
    m_frame->setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    m_frame->OnFileOpenAdapter();
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{1});
    QCOMPARE(Peer(*m_frame).CurrentMenuId(), int{IDR_MARLOTTYPE});
}

void MenuWiringTest::cleanup() {
    // Closing without keeping the trace: the closing sequence asks, the script says no.
    m_boxes->ScriptAnswers({platform::MbResult::No, platform::MbResult::No});
    m_frame->CloseAllDocuments();
    m_frame.reset();
    m_documents.reset();
    cardsim::UninstallCard();
    m_boxes.reset();
}

void MenuWiringTest::cardWindowsFromTheMenus() {
    QAction* status = m_frame->Action(ID_VIEW_CARD_STATUS);
    QAction* statistics = m_frame->Action(ID_VIEW_CARD_STATISTICS);
    trace::CDocument* document = m_frame->ActiveDocument();
    QVERIFY(document != nullptr);
    adapter::ui::CCardWindows* windows = m_documents->CardWindows().Find(*document);
    QVERIFY(windows != nullptr);

    // Card Status twice: opens, closes; the check mark follows.
    status->trigger();
    QVERIFY(windows->StatusFrame() != nullptr);
    QCOMPARE(windows->StatusFrame()->parentWidget(), m_frame.get());
    m_frame->UpdateCommandStates();
    QVERIFY(status->isChecked());
    status->trigger();
    QVERIFY(windows->StatusFrame() == nullptr);
    m_frame->UpdateCommandStates();
    QVERIFY(!status->isChecked());

    // Open Adapter inside the document: a status window of the earlier
    // connection goes, and the check mark with it.
    status->trigger();
    QPointer<adapter::ui::CStatusFrame> earlier = windows->StatusFrame();
    QVERIFY(earlier);
    m_frame->Action(ID_FILE_OPEN)->trigger();
    QVERIFY(earlier.isNull());
    m_frame->UpdateCommandStates();
    QVERIFY(!status->isChecked());

    // Card Statistics: a child window with the form, counting from zero.
    statistics->trigger();
    QCOMPARE(Peer(*m_frame).StatisticsWindowFlag(), 1);
    QVERIFY(statistics->isChecked());
    QMdiSubWindow* frame = Peer(*m_frame).StatisticsFrame();
    QVERIFY(frame != nullptr);
    auto* form = qobject_cast<adapter::ui::CStatsForm*>(frame->widget());
    QVERIFY(form != nullptr);
    QTRY_COMPARE(form->findChild<QLabel*>("link1MTU")->text(), QStringLiteral("260"));
    QCOMPARE(windows->Flags().statisticsRefresh, 1);
    statistics->trigger();
    QCOMPARE(Peer(*m_frame).StatisticsWindowFlag(), 0);
    QVERIFY(!statistics->isChecked());
    QCOMPARE(windows->Flags().statisticsRefresh, 0);

    // Information: the modal sheet, dismissed.
    QString title;
    QTimer::singleShot(0, this, [&title] {
        if (auto* sheet = qobject_cast<adapter::ui::CAdapterInfoSheet*>(QApplication::activeModalWidget())) {
            title = sheet->windowTitle();
            sheet->reject();
        }
    });
    m_frame->Action(ID_VIEW_INFORMATION)->trigger();
    QCOMPARE(title, QStringLiteral("Adapter Information"));

    // Save Diagnostics through the document's File menu.
    const QString path = QDir::current().filePath(QStringLiteral("OrinDiag.txt"));
    m_ui->fileAnswers.push_back(std::filesystem::path(path.toStdString()));
    m_frame->Action(ID_FILE_SAVE_DIAGNOSTICS)->trigger();
    QCOMPARE(m_ui->saveRequests.size(), std::size_t{1});
    QVERIFY(m_ui->saveRequests[0].confirmOverwrite);
    QFile report(path);
    QVERIFY(report.open(QIODevice::ReadOnly));
    QVERIFY(report.readAll().contains("Line Status: Layer 3 active for all configured links\n"));
    QCOMPARE(m_boxes->Texts(), std::vector<std::string>{"Diagnostics saved to " + path.toStdString() + "."});
}

// Under Xvfb: what a person sees with both card windows open.
void MenuWiringTest::screenshotOfTheMainWindow() {
    m_frame->ActiveTraceFrame()->setGeometry(0, 0, 900, 640);
    m_frame->Action(ID_VIEW_CARD_STATISTICS)->trigger();
    auto* form = qobject_cast<adapter::ui::CStatsForm*>(Peer(*m_frame).StatisticsFrame()->widget());
    QVERIFY(form != nullptr);
    Peer(*m_frame).StatisticsFrame()->move(240, 40);
    QTRY_COMPARE(form->findChild<QLabel*>("link1MTU")->text(), QStringLiteral("260"));
    m_frame->Action(ID_VIEW_CARD_STATUS)->trigger();
    adapter::ui::CCardWindows* windows = m_documents->CardWindows().Find(*m_frame->ActiveDocument());
    QVERIFY(windows != nullptr && windows->StatusFrame() != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(windows->StatusFrame()));

    // The main window and the floating Card Status window over it, as on the screen.
    QImage shot = m_frame->grab().toImage();
    QPainter painter(&shot);
    const QPoint at = windows->StatusFrame()->geometry().topLeft() - m_frame->geometry().topLeft();
    painter.drawPixmap(at, windows->StatusFrame()->grab());
    painter.end();
    const QString path = QStringLiteral(MARLO_ARTIFACT_DIR "/main-window-card-windows-%1.png")
                             .arg(QGuiApplication::platformName());
    QVERIFY2(shot.save(path), qPrintable(path));
}

QTEST_MAIN(MenuWiringTest)
#include "MenuWiringTest.moc"
