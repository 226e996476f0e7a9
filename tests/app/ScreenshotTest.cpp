// Under a virtual X server: the main window with a trace window whose SETUP
// record is selected and decoded, saved as a picture in the build tree
// (screenshots/trace-window-setup.png) for a person to look at.

#include <QDeadlineTimer>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QMdiArea>
#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>
#include <QtTest>

#include "app/MainFrame.h"
#include "app/ProgramDocuments.h"
#include "app/QtUiServices.h"
#include "cardsim/Card.h"
#include "app/ToolbarIcons.h"
#include "platform/MessageBox.h"
#include "tests/support/MainFramePeer.h"
#include "tests/support/ScriptedUi.h"
#include "views/CallsWindow.h"
#include "tests/app/AppSupport.h"
#include "views/FilterBar.h"
#include "views/MarloTrcListView.h"
#include "views/MarloTrcTreeView.h"
#include "views/TraceChildFrame.h"

class ScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void TraceWindowWithDecodedSetup();
    void AdapterWindowOnTheEmulatedCard();
    void FilterColoursAndHighlightedElement();
    void ElementDetailsOfTheSetup();
    void LargeLogWhileItLoads();
    void ProblemsCallsAndACancelledSave();
    void NoCardAndAStatisticsWindowThatFollowsItsAdapter();
};

// With no card, Open Adapter's message as the program shows it; then, on a
// card of two adapters, the statistics window after the document opened the
// other adapter, with the Window menu listing the windows.
void ScreenshotTest::NoCardAndAStatisticsWindowThatFollowsItsAdapter() {
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(QDir().mkpath(QStringLiteral(SCREENSHOT_DIR)));
    app::ProgramDocuments documents;
    app::CMainFrame frame(documents);
    frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));

    const auto useCard = [](const char* settings) {
        qputenv("ORINTPX_EMULATOR", settings);
        auto parsed = cardsim::ParseSettings(settings, nullptr);
        if (parsed) cardsim::InstallCard(std::make_shared<cardsim::Card>(std::move(*parsed)));
    };
    qputenv("ORINTPX_EMULATOR", "absent=1");
    cardsim::UninstallCard();  // no device: as a machine without the card
    const auto previous = platform::SetMessageBoxHandler(app::QtMessageBox);
    bool grabbed = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b != nullptr && b->isVisible()) box = b;
        if (box == nullptr) return;
        poll.stop();
        QTest::qWait(100);  // painted
        grabbed = box->grab().save(QStringLiteral(SCREENSHOT_DIR "/no-card.png"));
        box->accept();
    });
    poll.start(20);
    frame.OnFileOpenAdapter();
    platform::SetMessageBoxHandler(previous);
    QVERIFY(grabbed);
    QCOMPARE(Peer(frame).DocumentCount(), std::size_t{0});

    useCard("rate=100;adapters=2");
    auto ui = std::make_unique<testsupport::ScriptedUi>();
    ui->adapterAnswers = {0, 1};
    Peer(frame).SetUiServices(std::move(ui));
    frame.OnFileOpenAdapter();
    views::CTraceChildFrame* trace = frame.ActiveTraceFrame();
    QVERIFY(trace);
    frame.Action(app::ID_VIEW_CARD_STATISTICS)->trigger();
    Peer(frame).MdiArea()->setActiveSubWindow(trace);
    frame.Action(app::ID_FILE_OPEN)->trigger();
    QVERIFY(Peer(frame).StatisticsFrame());
    Peer(frame).MdiArea()->tileSubWindows();
    Peer(frame).MdiArea()->setActiveSubWindow(Peer(frame).StatisticsFrame());
    QTest::qWait(100);
    QVERIFY(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/statistics-after-reopen.png")));
    const auto answer = platform::SetMessageBoxHandler([](const platform::MessageBoxRequest&) {
        return platform::MbResult::No;
    });
    QVERIFY(frame.CloseAllDocuments());
    platform::SetMessageBoxHandler(answer);
    useCard("");
    qunsetenv("ORINTPX_EMULATOR");
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
}

// A faulty capture on the emulated card with its Calls window as it opens
// (every column in view), then its Problems and Calls windows tiled beside
// it, then Save Log File cancelled: the capture is still there, and the
// status bar says what it is doing.
void ScreenshotTest::ProblemsCallsAndACancelledSave() {
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));  // the trace log files go to the current folder
    qputenv("ORINTPX_EMULATOR", "rate=200;traffic=faulty");
    app::ProgramDocuments documents;
    app::CMainFrame frame(documents);
    auto ui = std::make_unique<testsupport::ScriptedUi>();  // the save dialog is cancelled
    testsupport::ScriptedUi& script = *ui;
    Peer(frame).SetUiServices(std::move(ui));
    frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.OnFileOpenAdapter();
    views::CTraceChildFrame* trace = frame.ActiveTraceFrame();
    QVERIFY(trace);
    frame.Action(app::ID_TRACE_START)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(trace->ListView()->model()->rowCount() >= 600, 30000);
    frame.Action(app::ID_TRACE_STOP)->trigger();
    frame.Action(app::ID_VIEW_PROBLEMS)->trigger();
    Peer(frame).MdiArea()->setActiveSubWindow(trace);
    frame.Action(app::ID_VIEW_CALLS)->trigger();
    QVERIFY(QDir().mkpath(QStringLiteral(SCREENSHOT_DIR)));
    QTest::qWait(100);  // painted
    QVERIFY(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/calls-as-opened.png")));
    Peer(frame).MdiArea()->tileSubWindows();
    QTRY_VERIFY(frame.findChild<views::CProblemsWindow*>()->Table()->model()->rowCount() > 0);
    QVERIFY(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/problems-and-calls.png")));

    const int rows = trace->ListView()->model()->rowCount();
    Peer(frame).MdiArea()->setActiveSubWindow(trace);
    trace->showMaximized();
    QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(Peer(frame).DocumentCount(), std::size_t{1});
    QCOMPARE(trace->ListView()->model()->rowCount(), rows);
    frame.SetTraceStatusText(script.statusTexts.back());  // what the program's own services show there
    QVERIFY(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/cancelled-save.png")));
    const auto answer = platform::SetMessageBoxHandler([](const platform::MessageBoxRequest&) {
        return platform::MbResult::No;
    });
    QVERIFY(frame.CloseAllDocuments());
    platform::SetMessageBoxHandler(answer);
    qunsetenv("ORINTPX_EMULATOR");
    QVERIFY(QDir::setCurrent(QDir::tempPath()));  // not the folder about to go
}

// A large log a moment after it opened: its first screen is up, and the
// status bar tells how far the rest of the load has got, and then how far
// the analysis has got.
void ScreenshotTest::LargeLogWhileItLoads() {
    QTemporaryDir dir;
    const QString sample = dir.filePath(QStringLiteral("sample-call.log"));
    QVERIFY(apptest::MakeSampleLog(sample));
    const QString large = dir.filePath(QStringLiteral("large.log"));
    QVERIFY(apptest::WriteRepeatedSample(sample, large, 1'000'000) > 0);
    app::ProgramDocuments documents;
    app::CMainFrame frame(documents);
    frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(frame.OpenLogFile(large.toStdString()));
    views::CTraceChildFrame* trace = frame.ActiveTraceFrame();
    QVERIFY(trace);
    trace->showMaximized();
    // Step by step until the status bar shows the load's progress.
    const QDeadlineTimer deadline(30000);
    while (!frame.statusBar()->currentMessage().startsWith(QStringLiteral("Loading")) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QVERIFY(frame.statusBar()->currentMessage().startsWith(QStringLiteral("Loading")));
    frame.statusBar()->repaint();
    QVERIFY(QDir().mkpath(QStringLiteral(SCREENSHOT_DIR)));
    QVERIFY(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/large-log-loading.png")));
    // Then, every record read, the calls and problems are worked out.
    QTRY_VERIFY_WITH_TIMEOUT(frame.statusBar()->currentMessage().startsWith(QStringLiteral("Analysing")), 30000);
    QVERIFY(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/large-log-analysing.png")));
    frame.CloseAllDocuments();
}

// View > Element Details on: the SETUP's bearer capability and calling
// number opened field by field, the calling number's digits highlighted.
void ScreenshotTest::ElementDetailsOfTheSetup() {
    QTemporaryDir dir;
    const QString sample = dir.filePath(QStringLiteral("sample-call.log"));
    QVERIFY(apptest::MakeSampleLog(sample));
    app::ProgramDocuments documents;
    app::CMainFrame frame(documents);
    frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(frame.OpenLogFile(sample.toStdString()));
    views::CTraceChildFrame* trace = frame.ActiveTraceFrame();
    QVERIFY(trace);
    trace->showMaximized();
    frame.Action(app::ID_VIEW_ELEMENT_DETAILS)->trigger();
    trace->ListView()->selectRow(apptest::kSetupRow);
    QTreeWidgetItem* layer3 = trace->TreeView()->topLevelItem(2);
    layer3->setExpanded(true);
    layer3->child(0)->setExpanded(true);
    layer3->child(2)->setExpanded(true);
    QTreeWidgetItem* calling = layer3->child(2);
    trace->TreeView()->setCurrentItem(calling->child(calling->childCount() - 1));
    QTest::qWait(200);
    QVERIFY(QDir().mkpath(QStringLiteral(SCREENSHOT_DIR)));
    QVERIFY(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/element-details.png")));
    frame.CloseAllDocuments();
}

// The sample log with its rows coloured, then filtered to the call's
// messages, with the bearer capability of the SETUP highlighted in the dump.
void ScreenshotTest::FilterColoursAndHighlightedElement() {
    QTemporaryDir dir;
    const QString sample = dir.filePath(QStringLiteral("sample-call.log"));
    QVERIFY(apptest::MakeSampleLog(sample));
    app::ProgramDocuments documents;
    app::CMainFrame frame(documents);
    frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(frame.OpenLogFile(sample.toStdString()));
    views::CTraceChildFrame* trace = frame.ActiveTraceFrame();
    QVERIFY(trace);
    trace->showMaximized();
    trace->ListView()->selectRow(apptest::kSetupRow);
    QTest::qWait(200);
    QVERIFY(QDir().mkpath(QStringLiteral(SCREENSHOT_DIR)));
    QVERIFY(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/colours.png")));

    trace->Filter()->SetText(QStringLiteral("q931 and not msg == \"CONNECT ACKNOWLEDGE\""));
    trace->Filter()->Apply();
    QTreeWidgetItem* layer3 = trace->TreeView()->topLevelItem(2);
    layer3->setExpanded(true);
    layer3->child(0)->setExpanded(true);
    trace->TreeView()->setCurrentItem(layer3->child(0));
    trace->Filter()->SetText(QStringLiteral("q931 and not msg == \"CONNECT ACKNOWLEDGE\" and"));  // shows red
    QTest::qWait(200);
    QVERIFY(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/filter-and-highlight.png")));
    frame.CloseAllDocuments();
}

void ScreenshotTest::AdapterWindowOnTheEmulatedCard() {
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));  // the trace log files go to the current folder
    qputenv("ORINTPX_EMULATOR", "rate=100");
    app::ProgramDocuments documents;
    app::CMainFrame frame(documents);
    frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.OnFileOpenAdapter();
    QCOMPARE(Peer(frame).DocumentCount(), std::size_t{1});
    QCOMPARE(Peer(frame).CurrentMenuId(), int{app::IDR_MARLOTTYPE});
    views::CTraceChildFrame* trace = frame.ActiveTraceFrame();
    trace->showMaximized();
    frame.Action(app::ID_TRACE_START)->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(trace->ListView()->model()->rowCount() >= 30, 20000);
    frame.Action(app::ID_TRACE_STOP)->trigger();
    trace->ListView()->selectRow(trace->ListView()->model()->rowCount() - 1);
    trace->TreeView()->expandAll();
    QTest::qWait(100);
    QVERIFY(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/adapter-window.png")));
    // No to the closing question: the trace is deleted.
    const auto previous = platform::SetMessageBoxHandler([](const platform::MessageBoxRequest&) {
        return platform::MbResult::No;
    });
    QVERIFY(frame.CloseAllDocuments());
    platform::SetMessageBoxHandler(previous);
}

void ScreenshotTest::TraceWindowWithDecodedSetup() {
    QTemporaryDir dir;
    const QString sample = dir.filePath(QStringLiteral("sample-call.log"));
    QVERIFY(apptest::MakeSampleLog(sample));
    QApplication::setWindowIcon(app::ProgramIcon());

    app::ProgramDocuments documents;
    app::CMainFrame frame(documents);
    // No window manager under the virtual server: maximise by hand.
    frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(frame.OpenLogFile(sample.toStdString()));
    views::CTraceChildFrame* trace = frame.ActiveTraceFrame();
    QVERIFY(trace);
    trace->showMaximized();
    trace->ListView()->selectRow(apptest::kSetupRow);
    trace->ListView()->setFocus();
    QTreeWidgetItem* layer3 = trace->TreeView()->topLevelItem(2);
    layer3->setExpanded(true);
    layer3->child(0)->setExpanded(true);
    trace->TreeView()->topLevelItem(1)->setExpanded(true);
    frame.SetTraceStatusText("TRACE: Stopped reading from log file " + sample.toStdString());
    QTest::qWait(200);  // let the window manager-less server settle the first paint

    const QImage shot = frame.grab().toImage();
    QVERIFY(QDir().mkpath(QStringLiteral(SCREENSHOT_DIR)));
    const QString path = QStringLiteral(SCREENSHOT_DIR "/trace-window-setup.png");
    QVERIFY(shot.save(path));
    qInfo("screenshot: %s (%dx%d)", qPrintable(path), shot.width(), shot.height());
    QVERIFY(shot.width() >= 800 && shot.height() >= 600);
}

QTEST_MAIN(ScreenshotTest)
#include "ScreenshotTest.moc"
