// The desktop shell headless: the start-up menus, menus following the
// active document, opening a log file into a three-pane window with its
// exact cells, the panes following the selected row, command routing and
// enabling, the statistics window's check mark, the adapter selection
// dialog, and the single-instance rule across two processes.

#include <QActionGroup>
#include <QSet>
#include <QLabel>
#include <QListWidget>
#include <QLocalSocket>
#include <QMdiArea>
#include <QAbstractButton>
#include <QMessageBox>
#include <functional>
#include <thread>
#include <QMenuBar>
#include <QProcess>
#include <QHeaderView>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QClipboard>
#include <QtTest>

#include "app/MainFrame.h"
#include "app/ProgramDocuments.h"
#include "app/MarloTrcApp.h"
#include "app/QtUiServices.h"
#include "adapter/MarloTrcDoc.h"
#include "cardsim/Card.h"
#include "linekit/WaitLimit.h"
#include "platform/MessageBox.h"
#include "tests/app/AppSupport.h"
#include "tests/support/MainFramePeer.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedUi.h"
#include "views/MarloTrcHexView.h"
#include "views/MarloTrcListView.h"
#include "views/MarloTrcTreeView.h"
#include "views/CallsWindow.h"
#include "views/BackgroundLoad.h"
#include "views/FilterBar.h"
#include "views/TraceChildFrame.h"
#include "filter/DisplayFilter.h"

using namespace apptest;
using app::CMainFrame;

namespace {

QStringList MenuTitles(CMainFrame& frame) {
    QStringList titles;
    for (QAction* a : frame.menuBar()->actions()) titles << a->text();
    return titles;
}

QStringList MenuEntries(CMainFrame& frame, int menu) {
    QStringList entries;
    for (QAction* a : frame.menuBar()->actions().at(menu)->menu()->actions())
        entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return entries;
}

QString Cell(views::CTraceChildFrame& f, int row, int column) {
    const QAbstractItemModel* m = f.ListView()->model();
    return m->data(m->index(row, column)).toString();
}

// A card of two adapters for one test alone; the emulated card the process
// loaded by itself is put back afterwards.
class TwoAdapterCard {
public:
    TwoAdapterCard() {
        auto settings = cardsim::ParseSettings("rate=200;adapters=2", nullptr);
        if (settings) m_card = std::make_shared<cardsim::Card>(std::move(*settings));
        if (m_card) cardsim::InstallCard(m_card);
    }
    ~TwoAdapterCard() {
        const QByteArray text = qgetenv("ORINTPX_EMULATOR");
        if (auto usual = cardsim::ParseSettings(text.toStdString(), nullptr))
            cardsim::InstallCard(std::make_shared<cardsim::Card>(std::move(*usual)));
        else
            cardsim::UninstallCard();
    }
    TwoAdapterCard(const TwoAdapterCard&) = delete;
    TwoAdapterCard& operator=(const TwoAdapterCard&) = delete;
    cardsim::Card& Card() const { return *m_card; }

private:
    std::shared_ptr<cardsim::Card> m_card;
};

// The statistics form of the tests: it keeps the frame's flag as the real
// form does, set while it exists.
class FlagForm final : public QWidget {
public:
    explicit FlagForm(CMainFrame& frame) : m_frame(frame) { m_frame.SetStatisticsWindowFlag(1); }
    ~FlagForm() override { m_frame.SetStatisticsWindowFlag(0); }

private:
    CMainFrame& m_frame;
};

}  // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void StartsWithMenu128AndNoDocument();
    void MenusFollowTheActiveDocument();
    void TheCallsWindowOpensShowingEveryColumnTheAreaHasRoomFor_data();
    void TheCallsWindowOpensShowingEveryColumnTheAreaHasRoomFor();
    void BothOpenLogEntriesProposeTraceLog_data();
    void BothOpenLogEntriesProposeTraceLog();
    void OpenedLogShowsItsRowsAndTheSelectedRecord();
    void CopyAndFindWorkOnTheActiveTraceWindow();
    void ElementDetailsApplyToEveryTraceWindow();
    void RecentFilesKeepTheNewestFour();
    void OnlyFilesGoInTheRecentList();
    void SavingALogUnderAnotherNameFollowsItAndItsOwnNameAsksNothing();
    void CommandsAreRoutedAndEnabledByDocument();
    void FailedAdapterOpenLeavesNoDocument();
    void CardStatisticsOpensClosesAndChecks();
    void AdapterSelectionListsEntriesAndReturnsTheChoice();
    void TraceStatusTextGoesToPaneOne();
    void MessageBoxesShowCaptionAndAnswer();
    void SecondInstanceActivatesTheFirstAndExits();
    void StartOnTheEmulatedCardFillsTheListRowByRow();
    void ClosingTheLastListWindowClosesTheDocumentAndItsCardWindows();
    void TheMainWindowGoesWithItsWindowsAndDocumentsOpen();
    void CardWindowsFollowTheAdapterTheirDocumentOpens();
    void OpenAdapterInsideADocumentThatTraces_data();
    void OpenAdapterInsideADocumentThatTraces();
    void ALargeLogShowsItsFirstScreenAndLoadsTheRestBetweenEvents();
    void SaveAndExportWaitForTheLoadAndCloseStopsIt();
    void DamageFoundAfterTheFirstScreenIsAskedAboutThen();

private:
    std::unique_ptr<FakeServices> m_services;
    std::unique_ptr<CMainFrame> m_frame;
    testsupport::ScriptedUi* m_ui = nullptr;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_sample;

    // The sample's records over and over: a log that takes several slices
    // to load. Returns its path; *records is its count of whole records.
    QString WriteLargeLog(const QString& name, int* records, qint64 cutBytes = 0);
};

QString AppTest::WriteLargeLog(const QString& name, int* records, qint64 cutBytes) {
    const QString path = m_dir->filePath(name);
    *records = WriteRepeatedSample(m_sample, path, 2 * views::BackgroundLoads::kSliceRecords + 1000, cutBytes);
    return *records > 0 ? path : QString();
}

void AppTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_sample = m_dir->filePath(QStringLiteral("sample.log"));
    QVERIFY(MakeSampleLog(m_sample));
    m_services = std::make_unique<FakeServices>();
    m_frame = std::make_unique<CMainFrame>(*m_services);
    auto ui = std::make_unique<testsupport::ScriptedUi>();
    m_ui = ui.get();
    Peer(*m_frame).SetUiServices(std::move(ui));
    m_frame->resize(1200, 900);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
}

void AppTest::cleanup() {
    m_frame.reset();
    m_services.reset();
}

void AppTest::StartsWithMenu128AndNoDocument() {
    QCOMPARE(Peer(*m_frame).CurrentMenuId(), int{app::IDR_MAINFRAME});
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{0});
    QCOMPARE(Peer(*m_frame).MdiArea()->subWindowList().size(), 0);
    QCOMPARE(MenuTitles(*m_frame), (QStringList{"&File", "&View", "&Help"}));
    QCOMPARE(MenuEntries(*m_frame, 0), (QStringList{"&Open Adapter...", "-", "Open &Log File...", "-", "E&xit"}));
    QCOMPARE(m_frame->Action(app::ID_FILE_OPEN)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    // Nothing handles these: always disabled, keys included.
    for (int id : {app::ID_FILE_PRINT, app::ID_EDIT_UNDO, app::ID_EDIT_CUT, app::ID_EDIT_COPY, app::ID_EDIT_PASTE,
                   app::ID_FILE_SAVE})
        QVERIFY(!m_frame->Action(id)->isEnabled());
    QCOMPARE(m_frame->Action(app::ID_EDIT_PASTE)->shortcuts(),
             (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+V")), QKeySequence(QStringLiteral("Shift+Ins"))}));
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("MarloTrc"));
}

void AppTest::MenusFollowTheActiveDocument() {
    QVERIFY(m_frame->OpenLogFile(m_sample.toStdString()));
    QCOMPARE(Peer(*m_frame).CurrentMenuId(), int{app::IDR_LOGTYPE});
    QCOMPARE(MenuTitles(*m_frame), (QStringList{"&File", "&Edit", "&View", "&Window", "&Help"}));
    QCOMPARE(MenuEntries(*m_frame, 0), (QStringList{"&Open Adapter...", "-", "Open &Log File...", "&Save Log File",
                                                     "&Close ", "&Export...", "-", "E&xit"}));
    QVERIFY(m_frame->Action(app::ID_FILE_EXPORT)->isEnabled());  // the log has records
    QCOMPARE(MenuEntries(*m_frame, 2),
             (QStringList{"&Toolbar", "&Status Bar", "-", "A&uto Scroll", "Colour &Rows", "-", "Time of &Day",
                          "Seconds Since &First Record", "Seconds Since Pre&vious Record", "-",
                          "&Element Details", "-", "Ca&lls", "&Problems"}));
    QMdiSubWindow* logFrame = Peer(*m_frame).MdiArea()->activeSubWindow();
    // View > Calls lists the sample's call; the status bar counts its problems.
    m_frame->Action(app::ID_VIEW_CALLS)->trigger();
    auto* calls = m_frame->findChild<views::CCallsWindow*>();
    QVERIFY(calls != nullptr);
    QTRY_COMPARE(calls->Table()->rowCount(), 1);
    QTRY_COMPARE(m_frame->findChild<QLabel*>(QStringLiteral("problemsPane"))->text(),
                 QStringLiteral("0 errors, 0 warnings"));
    // It is a window of the document inside the main window, one a
    // document, named after it, its View item checked while it is open;
    // choosing the item again closes it.
    QMdiSubWindow* callsFrame = Peer(*m_frame).MdiArea()->activeSubWindow();
    QCOMPARE(callsFrame->widget(), calls);
    QCOMPARE(callsFrame->windowTitle(), QStringLiteral("sample-call.log \u2013 Calls").replace("sample-call", QFileInfo(m_sample).baseName()));
    QVERIFY(m_frame->Action(app::ID_VIEW_CALLS)->isChecked());
    QCOMPARE(Peer(*m_frame).MdiArea()->subWindowList().size(), 2);
    m_frame->Action(app::ID_VIEW_CALLS)->trigger();
    QVERIFY(!m_frame->Action(app::ID_VIEW_CALLS)->isChecked());
    QTRY_COMPARE(m_frame->findChildren<views::CCallsWindow*>().size(), 0);

    m_frame->Action(app::ID_FILE_OPEN)->trigger();  // a log document active: a new adapter document
    QCOMPARE(Peer(*m_frame).CurrentMenuId(), int{app::IDR_MARLOTTYPE});
    QCOMPARE(MenuTitles(*m_frame), (QStringList{"&File", "&Edit", "&View", "&Trace", "&Window", "&Help"}));
    QCOMPARE(MenuEntries(*m_frame, 0),
             (QStringList{"&Open Adapter...", "-", "Open &Log File...", "&Save Log File", "&Close ", "&Export...",
                          "-", "Save &Diagnostics", "-", "E&xit"}));
    QVERIFY(!m_frame->Action(app::ID_FILE_EXPORT)->isEnabled());  // nothing traced yet
    QCOMPARE(MenuEntries(*m_frame, 2),
             (QStringList{"&Toolbar", "&Status Bar", "-", "A&uto Scroll", "Colour &Rows", "-", "Time of &Day",
                          "Seconds Since &First Record", "Seconds Since Pre&vious Record", "-", "&Card Status",
                          "C&ard Statistics", "&Information", "-", "&Element Details", "-", "Ca&lls",
                          "&Problems"}));
    QCOMPARE(MenuEntries(*m_frame, 1), (QStringList{"&Undo", "-", "Cu&t", "&Copy", "&Paste", "-", "&Find...",
                                                     "Find &Next", "Find Pre&vious"}));
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("MarloTrc - OrinBri1"));
    // Every menu of every menu bar reaches each entry by a key of its own;
    // the time formats are one choice.
    for (const int bar : {128, 134, 129}) {  // the adapter's window active again at the end
        if (bar == 128) Peer(*m_frame).MdiArea()->setActiveSubWindow(nullptr);
        if (bar == 134) Peer(*m_frame).MdiArea()->setActiveSubWindow(logFrame);
        if (bar == 129) Peer(*m_frame).MdiArea()->setActiveSubWindow(Peer(*m_frame).MdiArea()->subWindowList().back());
        for (QAction* menu : m_frame->menuBar()->actions()) {
            QSet<QChar> keys;
            for (QAction* entry : menu->menu()->actions()) {
                const qsizetype amp = entry->text().indexOf(QLatin1Char('&'));
                if (amp < 0 || entry->isSeparator()) continue;
                const QChar key = entry->text().at(amp + 1).toLower();
                QVERIFY2(!keys.contains(key), qPrintable(menu->text() + QStringLiteral(": ") + entry->text()));
                keys.insert(key);
            }
        }
    }
    QVERIFY(m_frame->Action(app::ID_VIEW_TIME_OF_DAY)->actionGroup() != nullptr &&
            m_frame->Action(app::ID_VIEW_TIME_OF_DAY)->actionGroup()->isExclusive());
    QCOMPARE(m_frame->Action(app::ID_VIEW_TIME_SINCE_PREVIOUS)->actionGroup(),
             m_frame->Action(app::ID_VIEW_TIME_OF_DAY)->actionGroup());

    // The Window menu lists the open windows, the active one checked.
    QMenu* window = m_frame->menuBar()->actions().at(4)->menu();
    emit window->aboutToShow();
    QCOMPARE(MenuEntries(*m_frame, 4), (QStringList{"&New Window", "&Cascade", "&Tile", "&Arrange Icons", "-",
                                                     "&1 sample.log", "&2 OrinBri1"}));
    window->actions().at(5)->trigger();
    QCOMPARE(Peer(*m_frame).MdiArea()->activeSubWindow(), logFrame);
    QCOMPARE(Peer(*m_frame).CurrentMenuId(), int{app::IDR_LOGTYPE});
    m_frame->CloseAllDocuments();
    QCOMPARE(Peer(*m_frame).CurrentMenuId(), int{app::IDR_MAINFRAME});
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{0});
}

void AppTest::TheCallsWindowOpensShowingEveryColumnTheAreaHasRoomFor_data() {
    QTest::addColumn<QSize>("mainWindow");
    QTest::addColumn<bool>("everyColumn");
    QTest::newRow("room for the whole table") << QSize(1200, 900) << true;
    QTest::newRow("a main window narrower than the table") << QSize(640, 480) << false;
}

// View > Calls opens its window wide enough for every column when the main
// window has room for that; a narrower one gets a window as wide as its area,
// all of it inside. (The tests' screen is wider than the main window.)
void AppTest::TheCallsWindowOpensShowingEveryColumnTheAreaHasRoomFor() {
    QFETCH(QSize, mainWindow);
    QFETCH(bool, everyColumn);
    m_frame->resize(mainWindow);
    QTRY_COMPARE(m_frame->size(), mainWindow);
    QVERIFY(m_frame->OpenLogFile(m_sample.toStdString()));
    m_frame->Action(app::ID_VIEW_CALLS)->trigger();
    auto* calls = m_frame->findChild<views::CCallsWindow*>();
    QVERIFY(calls != nullptr);
    QMdiSubWindow* callsFrame = Peer(*m_frame).MdiArea()->activeSubWindow();
    QCOMPARE(callsFrame->widget(), calls);
    QTRY_COMPARE(calls->Table()->rowCount(), 1);
    QVERIFY(m_frame->screen()->availableGeometry().width() > mainWindow.width());
    const QRect area = Peer(*m_frame).MdiArea()->viewport()->rect();
    QVERIFY2(area.contains(callsFrame->geometry()), qPrintable(QStringLiteral("%1 %2 %3 %4").arg(
        callsFrame->x()).arg(callsFrame->y()).arg(callsFrame->width()).arg(area.width())));
    const QTableWidget* table = calls->Table();
    QCOMPARE(table->viewport()->width() >= table->horizontalHeader()->length(), everyColumn);
    QCOMPARE(table->horizontalScrollBar()->isVisible(), !everyColumn);
    if (!everyColumn) QCOMPARE(callsFrame->width(), area.width());
}

void AppTest::BothOpenLogEntriesProposeTraceLog_data() {
    QTest::addColumn<int>("command");
    QTest::newRow("File menu of a document") << int(app::ID_FILE_OPEN_LOG);
    QTest::newRow("File menu without document") << int(app::ID_FILE_OPEN_LOG_NODOC);
}

void AppTest::BothOpenLogEntriesProposeTraceLog() {
    QFETCH(int, command);
    m_ui->fileAnswers = {std::filesystem::path(m_sample.toStdString()), std::nullopt};
    m_frame->Action(command)->trigger();
    QCOMPARE(m_ui->openRequests.size(), std::size_t{1});
    QCOMPARE(m_ui->openRequests[0].initialName, std::string("trace.log"));
    QCOMPARE(m_ui->openRequests[0].defaultExtension, std::string("log"));
    QCOMPARE(m_ui->openRequests[0].filter, std::string(trace::kOpenFileFilter));
    QCOMPARE(app::QtFilter(trace::kOpenFileFilter),
             QStringLiteral("Trace logs (*.log);;Captures (*.pcap *.pcapng *.cap *.trc *.trace *.out *.erf *.rf5 "
                            "*.txt *.gz *.zst *.lz4);;All files (*)"));
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{1});
    // A cancelled dialog does nothing.
    m_frame->Action(command)->trigger();
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{1});
    QCOMPARE(app::QtFilter(trace::kLogFileFilter), QStringLiteral("Log files (*.log);;All files (*.*)"));
}

void AppTest::CopyAndFindWorkOnTheActiveTraceWindow() {
    QVERIFY(m_frame->OpenLogFile(m_sample.toStdString()));
    views::CTraceChildFrame* f = m_frame->ActiveTraceFrame();
    QVERIFY(f != nullptr);
    m_frame->UpdateCommandStates();
    QVERIFY(!m_frame->Action(app::ID_EDIT_COPY)->isEnabled());  // nothing selected yet
    // Copy follows the selection at once (Ctrl+C and the toolbar), not only
    // when a menu opens.
    f->ListView()->selectRow(0);
    QVERIFY(m_frame->Action(app::ID_EDIT_COPY)->isEnabled());
    f->ListView()->clearSelection();
    QVERIFY(!m_frame->Action(app::ID_EDIT_COPY)->isEnabled());
    QVERIFY(!m_frame->Action(app::ID_EDIT_FIND_NEXT)->isEnabled());  // nothing to find again

    Peer(*m_frame).SetFindText(QStringLiteral("msg == SETUP"));
    m_frame->Action(app::ID_EDIT_FIND_NEXT)->trigger();
    QCOMPARE(f->ListView()->SelectedRecord(), kSetupRow);
    QVERIFY(m_frame->Action(app::ID_EDIT_COPY)->isEnabled());
    QApplication::clipboard()->clear();
    m_frame->Action(app::ID_EDIT_COPY)->trigger();
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("006\t  09:30:01.60\t 0\t 0\tDCH\tTE\t00-064-C\tI\t0\t000\t000\tO00001\tSETUP\n"));
    QCOMPARE(m_frame->Action(app::ID_EDIT_COPY)->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
    QCOMPARE(m_frame->Action(app::ID_EDIT_FIND)->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    QCOMPARE(m_frame->Action(app::ID_EDIT_FIND_NEXT)->shortcut(), QKeySequence(QStringLiteral("F3")));

    // Auto Scroll and Colour Rows follow the window and apply to it.
    m_frame->UpdateCommandStates();
    QVERIFY(m_frame->Action(app::ID_VIEW_AUTO_SCROLL)->isChecked());
    m_frame->Action(app::ID_VIEW_AUTO_SCROLL)->trigger();
    QVERIFY(!f->ListView()->AutoScroll());
    QVERIFY(f->ListView()->Model().Coloured());
    m_frame->Action(app::ID_VIEW_COLOUR_ROWS)->trigger();
    QVERIFY(!f->ListView()->Model().Coloured());
    m_frame->Action(app::ID_VIEW_TIME_SINCE_FIRST)->trigger();
    QCOMPARE(Cell(*f, 0, 1), QStringLiteral("0.00"));
    QVERIFY(m_frame->Action(app::ID_VIEW_TIME_SINCE_FIRST)->isChecked());
    QVERIFY(!m_frame->Action(app::ID_VIEW_TIME_OF_DAY)->isChecked());
}

// View > Element Details is off at first; turned on, every trace window's
// tree (the open ones at once, new ones as they open) shows what each
// element's octets mean, and what was open stays open.
void AppTest::ElementDetailsApplyToEveryTraceWindow() {
    QVERIFY(m_frame->OpenLogFile(m_sample.toStdString()));
    views::CTraceChildFrame* first = m_frame->ActiveTraceFrame();
    QVERIFY(first != nullptr);
    QVERIFY(MenuEntries(*m_frame, 2).contains(QStringLiteral("&Element Details")));
    m_frame->UpdateCommandStates();
    QVERIFY(!m_frame->Action(app::ID_VIEW_ELEMENT_DETAILS)->isChecked());
    first->ListView()->selectRow(kSetupRow);
    QTreeWidgetItem* layer3 = first->TreeView()->topLevelItem(2);
    layer3->setExpanded(true);
    layer3->child(3)->setExpanded(true);
    QCOMPARE(layer3->child(3)->childCount(), 5);  // the five fields only

    m_frame->Action(app::ID_VIEW_ELEMENT_DETAILS)->trigger();
    QVERIFY(m_frame->Action(app::ID_VIEW_ELEMENT_DETAILS)->isChecked());
    const auto labels = [](QTreeWidgetItem* item) {
        QStringList texts;
        for (int i = 0; i < item->childCount(); ++i) texts << item->child(i)->text(0);
        return texts;
    };
    layer3 = first->TreeView()->topLevelItem(2);
    QVERIFY(layer3->child(3)->isExpanded());
    QCOMPARE(labels(layer3->child(3)).mid(4),
             (QStringList{"Mnemonic: 5551234", "Type of number: national number (2)",
                          "Numbering plan: ISDN/telephony (E.164) (1)", "Digits: 5551234"}));
    // A detail's octets are highlighted in the dump like any node's.
    QSignalSpy octets(first->TreeView(), &views::CMarloTrcTreeView::OctetsSelected);
    first->TreeView()->setCurrentItem(layer3->child(3)->child(7));
    QVERIFY(!octets.isEmpty());
    QCOMPARE(octets.last().at(1).toInt(), 7);

    m_frame->Action(app::ID_WINDOW_NEW)->trigger();
    views::CTraceChildFrame* second = m_frame->ActiveTraceFrame();
    QVERIFY(second != nullptr && second != first);
    second->ListView()->selectRow(kSetupRow);
    QCOMPARE(second->TreeView()->topLevelItem(2)->child(0)->childCount(), 10);  // bearer capability

    m_frame->Action(app::ID_VIEW_ELEMENT_DETAILS)->trigger();
    QCOMPARE(first->TreeView()->topLevelItem(2)->child(3)->childCount(), 5);
    QCOMPARE(second->TreeView()->topLevelItem(2)->child(0)->childCount(), 5);
}

void AppTest::OpenedLogShowsItsRowsAndTheSelectedRecord() {
    QVERIFY(m_frame->OpenLogFile(m_sample.toStdString()));
    views::CTraceChildFrame* f = m_frame->ActiveTraceFrame();
    QVERIFY(f != nullptr);
    QCOMPARE(f->windowTitle(), QStringLiteral("sample.log"));
    QCOMPARE(f->ListView()->model()->rowCount(), 16);
    const QStringList setup{"006", "  09:30:01.60", " 0", " 0", "DCH", "TE", "00-064-C", "I", "0", "000", "000",
                            "O00001", "SETUP"};
    for (int c = 0; c < 13; ++c) QCOMPARE(Cell(*f, kSetupRow, c), setup[c]);
    QCOMPARE(Cell(*f, 1, 12), QStringLiteral("ID_REQ R:04660 A:127"));

    // The user opens Layer 3 and the called number, then selects its mnemonic.
    f->ListView()->selectRow(kSetupRow);
    views::CMarloTrcTreeView& tree = *f->TreeView();
    QCOMPARE(tree.topLevelItemCount(), 3);
    QTreeWidgetItem* layer3 = tree.topLevelItem(2);
    QCOMPARE(layer3->childCount(), 5);
    QCOMPARE(layer3->child(3)->text(0), QStringLiteral("4- called number  "));
    layer3->setExpanded(true);
    layer3->child(3)->setExpanded(true);
    tree.setCurrentItem(layer3->child(3)->child(4));
    QCOMPARE(tree.currentItem()->text(0), QStringLiteral("Mnemonic: 5551234"));
    QCOMPARE(f->HexView()->DumpText().substr(0, 55),
             std::string("0x0000  00 81 00 00 08 01 01 05 04 03 80 90 A2 18 01 83"));

    // CALL PROCEEDING: Layer 3 stays open; its element 4 does not exist, so
    // nothing is selected there.
    f->ListView()->selectRow(kSetupRow + 1);
    QVERIFY(tree.topLevelItem(2)->isExpanded());
    QCOMPARE(tree.topLevelItem(1)->child(7)->text(0), QStringLiteral("Message: CALL PROCEEDING"));
    QVERIFY(tree.selectedItems().isEmpty());
    // Back on the SETUP: element 4 opens again (no other record had a key
    // for it), but CALL PROCEEDING's own unselected Mnemonic node replaced
    // the remembered selection.
    f->ListView()->selectRow(kSetupRow);
    QVERIFY(tree.topLevelItem(2)->child(3)->isExpanded());
    QVERIFY(tree.currentItem() == nullptr || !tree.currentItem()->isSelected());
}

void AppTest::RecentFilesKeepTheNewestFour() {
    QStringList opened;
    for (int i = 0; i < 5; ++i) {
        const QString path = m_dir->filePath(QStringLiteral("t%1.log").arg(i));
        QVERIFY(QFile::copy(m_sample, path));
        QVERIFY(m_frame->OpenLogFile(path.toStdString()));
        opened.prepend(QFileInfo(path).canonicalFilePath());
    }
    QCOMPARE(m_frame->RecentFiles(), opened.mid(0, 4));
    // Opening a file that is open already brings its window forward.
    QVERIFY(m_frame->OpenLogFile(m_dir->filePath(QStringLiteral("t0.log")).toStdString()));
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{5});
    QCOMPARE(Peer(*m_frame).MdiArea()->activeSubWindow()->windowTitle(), QStringLiteral("t0.log"));

    // The File menu lists them numbered above Exit, each time it opens, and
    // an entry opens its file; one that no longer opens leaves the list.
    QMenu* file = m_frame->menuBar()->actions().at(0)->menu();
    for (int shown = 0; shown < 2; ++shown) emit file->aboutToShow();
    QStringList expected{"&Open Adapter...", "-", "Open &Log File...", "&Save Log File", "&Close ", "&Export...", "-"};
    for (int i = 0; i < 4; ++i)
        expected << QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(opened[i]));
    expected << "-" << "E&xit";
    QCOMPARE(MenuEntries(*m_frame, 0), expected);
    m_frame->CloseAllDocuments();
    QVERIFY(QFile::remove(opened[1]));
    testsupport::RecordingMessageBox boxes;
    QAction* gone = file->actions().at(8);
    gone->trigger();
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{0});
    QVERIFY(!m_frame->RecentFiles().contains(opened[1]));
    file->actions().at(7)->trigger();
    QCOMPARE(Peer(*m_frame).MdiArea()->activeSubWindow()->windowTitle(), QFileInfo(opened[0]).fileName());
}

void AppTest::OnlyFilesGoInTheRecentList() {
    // What the documents hand the program's own services: an adapter's name
    // is no file to open again; a file goes in by its canonical path.
    app::ProgramDocuments documents;
    CMainFrame frame(documents);
    Peer(frame).Ui().AddToRecentFiles("OrinBri1");
    Peer(frame).Ui().AddToRecentFiles(m_dir->path().toStdString());  // a folder neither
    QVERIFY(frame.RecentFiles().isEmpty());
    const QString indirect = m_dir->path() + QStringLiteral("/./sample.log");
    Peer(frame).Ui().AddToRecentFiles(indirect.toStdString());
    QCOMPARE(frame.RecentFiles(), QStringList{QFileInfo(m_sample).canonicalFilePath()});
}

void AppTest::SavingALogUnderAnotherNameFollowsItAndItsOwnNameAsksNothing() {
    const QString path = m_dir->filePath(QStringLiteral("first.log"));
    QVERIFY(QFile::copy(m_sample, path));
    QVERIFY(m_frame->OpenLogFile(path.toStdString()));
    QMdiSubWindow* window = Peer(*m_frame).MdiArea()->activeSubWindow();
    testsupport::RecordingMessageBox boxes;

    // Its own name: nothing moves and nothing is asked.
    m_ui->fileAnswers = {path.toStdString()};
    m_frame->Action(app::ID_FILE_SAVE)->trigger();
    QVERIFY(QFile::exists(path));
    QCOMPARE(window->windowTitle(), QStringLiteral("first.log"));
    QVERIFY(boxes.Texts().empty());

    // Another name: the file moves, and the window, the main window, the
    // recent files and the message area follow it.
    const QString moved = m_dir->filePath(QStringLiteral("moved.log"));
    m_ui->fileAnswers = {moved.toStdString()};
    m_frame->Action(app::ID_FILE_SAVE)->trigger();
    QVERIFY(!QFile::exists(path));
    QVERIFY(QFile::exists(moved));
    QCOMPARE(window->windowTitle(), QStringLiteral("moved.log"));
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("MarloTrc - moved.log"));
    QCOMPARE(m_frame->RecentFiles().front(), QFileInfo(moved).canonicalFilePath());
    QCOMPARE(m_frame->statusBar()->currentMessage(), QStringLiteral("Saved as ") + QDir::toNativeSeparators(moved));
    QVERIFY(boxes.Texts().empty());
    // Opening it by its new name finds the window already showing it.
    QVERIFY(m_frame->OpenLogFile(moved.toStdString()));
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{1});
}

void AppTest::CommandsAreRoutedAndEnabledByDocument() {
    m_frame->Action(app::ID_FILE_OPEN)->trigger();
    auto doc = m_services->traceDocs.back().lock();
    QVERIFY(doc);
    QVERIFY(m_frame->Action(app::ID_TRACE_START)->isEnabled());
    QVERIFY(!m_frame->Action(app::ID_TRACE_STOP)->isEnabled());
    m_frame->Action(app::ID_TRACE_START)->trigger();
    QVERIFY(doc->tracing);
    QVERIFY(!m_frame->Action(app::ID_TRACE_START)->isEnabled());
    QVERIFY(m_frame->Action(app::ID_TRACE_STOP)->isEnabled());
    m_frame->Action(app::ID_TRACE_STOP)->trigger();
    QVERIFY(!doc->tracing);

    // Card Status shows its check mark from the document.
    m_frame->Action(app::ID_VIEW_CARD_STATUS)->trigger();
    QVERIFY(m_frame->Action(app::ID_VIEW_CARD_STATUS)->isChecked());

    // Ctrl+O with the adapter document active re-opens its adapter.
    QTest::keyClick(m_frame.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(doc->reopenCount, 1);
    QCOMPARE(m_services->traceDocs.size(), std::size_t{1});

    // A second window on the document; closing one keeps the document.
    m_frame->Action(app::ID_WINDOW_NEW)->trigger();
    QCOMPARE(Peer(*m_frame).MdiArea()->subWindowList().size(), 2);
    QCOMPARE(Peer(*m_frame).MdiArea()->activeSubWindow()->windowTitle(), QStringLiteral("OrinBri1:2"));
    Peer(*m_frame).MdiArea()->activeSubWindow()->close();
    QTRY_COMPARE(Peer(*m_frame).MdiArea()->subWindowList().size(), 1);
    QCOMPARE(doc->closeCount, 0);

    // F6 moves the focus through the panes.
    views::CTraceChildFrame* f = m_frame->ActiveTraceFrame();
    QVERIFY(f);
    f->ListView()->setFocus();
    QTest::keyClick(m_frame.get(), Qt::Key_F6);
    QTRY_COMPARE(f->ActivePane(), static_cast<QWidget*>(f->TreeView()));
    QTest::keyClick(m_frame.get(), Qt::Key_F6, Qt::ShiftModifier);
    QTRY_COMPARE(f->ActivePane(), static_cast<QWidget*>(f->ListView()));

    // Save Log File ends the adapter document through its closing sequence.
    m_frame->Action(app::ID_FILE_SAVE)->trigger();
    QVERIFY(doc->saved);
    QCOMPARE(doc->closeCount, 1);
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{0});
    QCOMPARE(Peer(*m_frame).CurrentMenuId(), int{app::IDR_MAINFRAME});
    QVERIFY(!m_frame->Action(app::ID_FILE_SAVE)->isEnabled());
}

void AppTest::FailedAdapterOpenLeavesNoDocument() {
    m_services->failNextOpen = true;
    m_frame->OnFileOpenAdapter();
    auto doc = m_services->traceDocs.back();
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{0});
    QCOMPARE(Peer(*m_frame).CurrentMenuId(), int{app::IDR_MAINFRAME});
    // Its closing sequence ran (it removes the empty trace log file).
    QVERIFY(doc.expired());
}

void AppTest::CardStatisticsOpensClosesAndChecks() {
    testsupport::RecordingMessageBox messages;
    // No document, or no statistics window to make: the command fails.
    m_frame->OnCardStatistics();
    m_frame->Action(app::ID_FILE_OPEN)->trigger();
    m_frame->OnCardStatistics();
    QCOMPARE(messages.Texts(), (std::vector<std::string>{"Command failed.", "Command failed."}));

    m_frame->SetStatisticsFormFactory([](trace::CDocument&, CMainFrame& frame) { return new FlagForm(frame); });
    QAction* command = m_frame->Action(app::ID_VIEW_CARD_STATISTICS);
    command->trigger();
    QCOMPARE(Peer(*m_frame).StatisticsWindowFlag(), 1);
    QVERIFY(command->isChecked());
    QCOMPARE(Peer(*m_frame).MdiArea()->subWindowList().size(), 2);
    QCOMPARE(Peer(*m_frame).CurrentMenuId(), int{app::IDR_MARLOTTYPE});  // the statistics window shows the adapter document
    command->trigger();
    QCOMPARE(Peer(*m_frame).StatisticsWindowFlag(), 0);
    QVERIFY(!command->isChecked());
    QCOMPARE(Peer(*m_frame).MdiArea()->subWindowList().size(), 1);

    // Closing the statistics window by its close box clears the flag too.
    command->trigger();
    QVERIFY(Peer(*m_frame).StatisticsFrame());
    Peer(*m_frame).StatisticsFrame()->close();
    QTRY_COMPARE(Peer(*m_frame).StatisticsWindowFlag(), 0);
    m_frame->UpdateCommandStates();
    QVERIFY(!command->isChecked());
}

void AppTest::AdapterSelectionListsEntriesAndReturnsTheChoice() {
    app::QtUiServices ui(m_frame.get(), {}, {});
    for (const std::optional<int>& answer : {std::optional<int>(1), std::optional<int>()}) {
        QTimer::singleShot(0, this, [answer] {
            auto* dialog = qobject_cast<app::CSelectAdapterDlg*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Select an Adapter"));
            QCOMPARE(dialog->List()->count(), 2);
            QCOMPARE(dialog->List()->item(1)->text(), QStringLiteral("OrinBri2 - Inactive"));
            if (answer) {
                dialog->List()->setCurrentRow(*answer);
                dialog->accept();
            } else {
                dialog->reject();
            }
        });
        QCOMPARE(ui.SelectAdapter({"OrinBri1 - Inactive", "OrinBri2 - Inactive"}), answer);
    }
}

void AppTest::TraceStatusTextGoesToPaneOne() {
    Peer(*m_frame).Ui();  // the scripted services record; the frame's own pane shows
    m_frame->SetTraceStatusText("TRACE: Reading from trc0000.log");
    QCOMPARE(Peer(*m_frame).TraceStatusText(), QStringLiteral("TRACE: Reading from trc0000.log"));
    auto* pane = m_frame->statusBar()->findChild<QLabel*>(QStringLiteral("tracePane"));
    QVERIFY(pane);
    QCOMPARE(pane->width(), CMainFrame::kTraceStatusPaneWidth);

    // The pane speaks of the active document; a long path is cut in the
    // middle and whole in the tool tip.
    m_frame->Action(app::ID_FILE_OPEN)->trigger();
    QMdiSubWindow* adapter = Peer(*m_frame).MdiArea()->activeSubWindow();
    const QString path = QStringLiteral("TRACE: Reading from /") + QString(20, QLatin1Char('d')).append('/').repeated(8) +
                         QStringLiteral("trc0000.log");
    m_frame->SetTraceStatusText(path.toStdString());
    QCOMPARE(Peer(*m_frame).TraceStatusText(), path);
    QCOMPARE(pane->toolTip(), path);
    QVERIFY(pane->text().startsWith(QStringLiteral("TRACE: Reading")) && pane->text().endsWith(QStringLiteral("trc0000.log")));
    QVERIFY(pane->fontMetrics().horizontalAdvance(pane->text()) <= pane->contentsRect().width());
    int records = 0;
    const QString large = WriteLargeLog(QStringLiteral("large.log"), &records);
    QVERIFY(m_frame->OpenLogFile(large.toStdString()));
    QCOMPARE(Peer(*m_frame).TraceStatusText(), QString());
    // A log's progress goes with its window.
    QTRY_VERIFY(!m_frame->statusBar()->currentMessage().isEmpty());
    m_frame->OnFileClose();
    QCOMPARE(m_frame->statusBar()->currentMessage(), QString());
    QTRY_COMPARE(Peer(*m_frame).MdiArea()->activeSubWindow(), adapter);
    QCOMPARE(Peer(*m_frame).TraceStatusText(), path);
}

void AppTest::MessageBoxesShowCaptionAndAnswer() {
    struct Case {
        platform::MessageBoxRequest request;
        QMessageBox::StandardButton click;
        platform::MbResult expected;
        QString caption;
        bool fromWorker;
    };
    const std::vector<Case> cases = {
        {{"Could not start trace.", "", platform::MbButtons::Ok}, QMessageBox::Ok, platform::MbResult::Ok,
         "MarloTrc", false},
        {{"Keep it?", "Other", platform::MbButtons::YesNo}, QMessageBox::Yes, platform::MbResult::Yes, "Other", false},
        {{"Keep it?", "", platform::MbButtons::YesNo}, QMessageBox::No, platform::MbResult::No, "MarloTrc", true},
        // The questions that may discard a trace can be cancelled.
        {{"Save it?", "", platform::MbButtons::YesNoCancel}, QMessageBox::Cancel, platform::MbResult::Cancel,
         "MarloTrc", false},
        {{"Save them?", "", platform::MbButtons::SaveDiscardCancel}, QMessageBox::Save, platform::MbResult::Yes,
         "MarloTrc", false},
        {{"Save them?", "", platform::MbButtons::SaveDiscardCancel}, QMessageBox::Discard, platform::MbResult::No,
         "MarloTrc", false},
    };
    for (const Case& c : cases) {
        QString seenCaption;
        QString seenText;
        // Answers the box as soon as it is up.
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            seenCaption = box->windowTitle();
            seenText = box->text();
            box->button(c.click)->click();
        });
        answer.start(10);
        platform::MbResult result = platform::MbResult::Ok;
        if (c.fromWorker) {
            // A worker thread's message waits for the box on the GUI thread.
            std::atomic<bool> done{false};
            std::thread worker([&] {
                result = app::QtMessageBox(c.request);
                done = true;
            });
            QTRY_VERIFY(done.load());
            worker.join();
        } else {
            result = app::QtMessageBox(c.request);
        }
        QCOMPARE(seenCaption, c.caption);
        QCOMPARE(seenText, QString::fromStdString(c.request.text));
        QVERIFY(result == c.expected);
    }
}

void AppTest::SecondInstanceActivatesTheFirstAndExits() {
    // Both processes meet in a private temporary folder and profile.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), m_dir->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(MARLOTRC_PATH), {});
    QVERIFY(first.waitForStarted());

    // The first instance is up once its name answers.
    qputenv("TMPDIR", m_dir->path().toLocal8Bit());
    auto answers = [] {
        QLocalSocket probe;
        probe.connectToServer(app::CMarloTrcApp::InstanceName());
        return probe.waitForConnected(200);
    };
    QTRY_VERIFY_WITH_TIMEOUT(answers(), 15000);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(MARLOTRC_PATH), {});
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(second.readAllStandardError().contains("MarloTrc"), false);
    QCOMPARE(first.state(), QProcess::Running);

    first.terminate();
    QVERIFY(first.waitForFinished(15000));
    qunsetenv("TMPDIR");
}

void AppTest::StartOnTheEmulatedCardFillsTheListRowByRow() {
    // The real documents on the emulated card, in a folder of their own.
    qputenv("ORINTPX_EMULATOR", "rate=200");
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    testsupport::RecordingMessageBox messages;
    app::ProgramDocuments documents;
    {
        CMainFrame frame(documents);
        auto ui = std::make_unique<testsupport::ScriptedUi>();
        testsupport::ScriptedUi& script = *ui;
        Peer(frame).SetUiServices(std::move(ui));
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));

        frame.Action(app::ID_FILE_OPEN)->trigger();
        QCOMPARE(Peer(frame).CurrentMenuId(), int{app::IDR_MARLOTTYPE});
        views::CTraceChildFrame* f = frame.ActiveTraceFrame();
        QVERIFY(f);
        QVERIFY(frame.Action(app::ID_TRACE_START)->isEnabled());
        frame.Action(app::ID_TRACE_START)->trigger();
        QVERIFY(frame.Action(app::ID_TRACE_STOP)->isEnabled());
        QVERIFY(!script.statusTexts.empty());
        QVERIFY(QString::fromStdString(script.statusTexts.back()).startsWith(QStringLiteral("TRACE: Reading from ")));

        // Rows arrive one after another, in sequence, each decoded.
        QTRY_VERIFY_WITH_TIMEOUT(f->ListView()->model()->rowCount() >= 10, 20000);
        const QAbstractItemModel* model = f->ListView()->model();
        for (int row = 1; row < 10; ++row)
            QVERIFY(model->data(model->index(row, 0)).toInt() > model->data(model->index(row - 1, 0)).toInt());
        QCOMPARE(model->data(model->index(0, 4)).toString(), QStringLiteral("DCH"));
        f->ListView()->selectRow(0);
        QCOMPARE(f->TreeView()->topLevelItemCount(), 3);
        QVERIFY(!f->HexView()->DumpText().empty());
        // Looking at a record above the newest stops auto-scroll: while the
        // card goes on sending, the record stays selected and in view.
        QVERIFY(!f->ListView()->AutoScroll());
        QVERIFY(!frame.Action(app::ID_VIEW_AUTO_SCROLL)->isChecked());
        const int seen = model->rowCount();
        QTRY_VERIFY_WITH_TIMEOUT(model->rowCount() > seen + 5, 20000);
        QCOMPARE(f->ListView()->SelectedRecord(), 0);
        QVERIFY(f->ListView()->viewport()->rect().intersects(f->ListView()->visualRect(model->index(0, 0))));

        frame.Action(app::ID_TRACE_STOP)->trigger();
        QVERIFY(frame.Action(app::ID_TRACE_START)->isEnabled());
        QVERIFY(QString::fromStdString(script.statusTexts.back()).startsWith(QStringLiteral("TRACE: Stopped reading")));

        // A Cancel anywhere on the way out leaves the capture as it was: in
        // Save As after Ctrl+S, in the closing question, in Exit's, and in
        // Start's offer to keep the records first.
        const int stopped = model->rowCount();
        const QStringList files = QDir(m_dir->path()).entryList({QStringLiteral("trc*.log")});
        const std::vector<std::pair<const char*, std::function<void()>>> cancels = {
            {"Save As", [&] { QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier); }},
            {"Close", [&] { frame.OnFileClose(); }},
            {"Exit", [&] { QVERIFY(!frame.close()); }},
            {"Start", [&] { frame.Action(app::ID_TRACE_START)->trigger(); }},
        };
        for (const auto& [name, cancel] : cancels) {
            messages.ScriptAnswers({platform::MbResult::Cancel});
            script.fileAnswers.clear();
            cancel();
            QVERIFY2(Peer(frame).DocumentCount() == 1 && frame.isVisible(), name);
            QVERIFY2(frame.Action(app::ID_TRACE_START)->isEnabled(), name);
            QVERIFY2(model->rowCount() == stopped, name);
            QVERIFY2(QDir(m_dir->path()).entryList({QStringLiteral("trc*.log")}) == files, name);
        }

        // Closing asks whether to keep the trace; No deletes it.
        messages.ScriptAnswers({platform::MbResult::No});
        frame.OnFileClose();
        QCOMPARE(Peer(frame).DocumentCount(), std::size_t{0});
        QVERIFY(!messages.Texts().empty());
        QVERIFY(QString::fromStdString(messages.Texts().back()).startsWith(QStringLiteral("You have not saved")));
        QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("trc*.log")}), QStringList());
        QVERIFY(QString::fromStdString(script.statusTexts.back()).startsWith(QStringLiteral("TRACE: Closed")));

        // Again, and this time Save Log File (Ctrl+S): no question, the save
        // dialog names the file, and File > Open Log File shows it again.
        frame.Action(app::ID_FILE_OPEN)->trigger();
        f = frame.ActiveTraceFrame();
        frame.Action(app::ID_TRACE_START)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(f->ListView()->model()->rowCount() >= 5, 20000);
        frame.Action(app::ID_TRACE_STOP)->trigger();
        const int captured = f->ListView()->model()->rowCount();
        const std::filesystem::path kept = (m_dir->path() + QStringLiteral("/kept.log")).toStdString();
        script.fileAnswers = {kept, kept};
        const std::size_t asked = messages.Texts().size();
        QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(Peer(frame).DocumentCount(), std::size_t{0});
        QCOMPARE(messages.Texts().size(), asked);
        QVERIFY(std::filesystem::exists(kept));
        QCOMPARE(script.statusTexts.back(), "TRACE: Saved as " + kept.string());  // not the name it had
        frame.Action(app::ID_FILE_OPEN_LOG_NODOC)->trigger();
        QCOMPARE(Peer(frame).CurrentMenuId(), int{app::IDR_LOGTYPE});
        QVERIFY(frame.ActiveTraceFrame()->ListView()->model()->rowCount() >= captured);
        frame.CloseAllDocuments();
    }
    QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("trc*.log")}), QStringList());
    QVERIFY(QDir::setCurrent(previous));
    qunsetenv("ORINTPX_EMULATOR");
}

void AppTest::ClosingTheLastListWindowClosesTheDocumentAndItsCardWindows() {
    m_frame->SetStatisticsFormFactory([](trace::CDocument&, CMainFrame& frame) { return new FlagForm(frame); });
    m_frame->Action(app::ID_FILE_OPEN)->trigger();
    views::CTraceChildFrame* first = m_frame->ActiveTraceFrame();
    QVERIFY(first);
    m_frame->Action(app::ID_WINDOW_NEW)->trigger();
    views::CTraceChildFrame* second = m_frame->ActiveTraceFrame();
    QVERIFY(second && second != first);
    m_frame->Action(app::ID_VIEW_CARD_STATISTICS)->trigger();
    QCOMPARE(Peer(*m_frame).MdiArea()->subWindowList().size(), 3);

    // One of two record lists only closes; the document and its card window stay.
    first->close();
    QTRY_COMPARE(Peer(*m_frame).MdiArea()->subWindowList().size(), 2);
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{1});
    QCOMPARE(Peer(*m_frame).StatisticsWindowFlag(), 1);

    // The last one closes the document, and the statistics window with it:
    // no document lives on without a list to show it.
    second->close();
    QTRY_COMPARE(Peer(*m_frame).DocumentCount(), std::size_t{0});
    QTRY_COMPARE(Peer(*m_frame).MdiArea()->subWindowList().size(), 0);
    QCOMPARE(Peer(*m_frame).StatisticsWindowFlag(), 0);
    QCOMPARE(Peer(*m_frame).CurrentMenuId(), int{app::IDR_MAINFRAME});
}

void AppTest::TheMainWindowGoesWithItsWindowsAndDocumentsOpen() {
    // Two list windows and the statistics window on one document, a log in a
    // window of its own: whatever order the windows go in, each document
    // goes after the last of them (the statistics form still tells the main
    // window as it goes), and none is left behind.
    m_frame->SetStatisticsFormFactory([](trace::CDocument&, CMainFrame& frame) { return new FlagForm(frame); });
    m_frame->Action(app::ID_FILE_OPEN)->trigger();
    QVERIFY(m_frame->ActiveTraceFrame());
    const std::weak_ptr<trace::CDocument> adapter = m_frame->ActiveTraceFrame()->DocumentPtr();
    m_frame->Action(app::ID_WINDOW_NEW)->trigger();
    m_frame->Action(app::ID_VIEW_CARD_STATISTICS)->trigger();
    QVERIFY(m_frame->OpenLogFile(m_sample.toStdString()));
    const std::weak_ptr<trace::CDocument> log = m_frame->ActiveTraceFrame()->DocumentPtr();
    QCOMPARE(Peer(*m_frame).MdiArea()->subWindowList().size(), 4);
    m_frame.reset();
    QVERIFY(adapter.expired());
    QVERIFY(log.expired());
}

// How Open Adapter inside a document that traces on OrinBri1 ends.
enum class ReopenEnd {
    Opened,              // OrinBri2 chosen and open
    Cancelled,           // Cancel in "Select an Adapter"
    RegistrationFailed,  // the driver does not answer the registration
    OpenFailed,          // OrinBri2 chosen, and the driver does not answer its open
};

void AppTest::OpenAdapterInsideADocumentThatTraces_data() {
    QTest::addColumn<ReopenEnd>("end");
    QTest::addColumn<bool>("unchanged");  // OrinBri1 still open, its trace going on, its windows as they were
    QTest::addColumn<bool>("opened");     // an adapter open afterwards
    QTest::addColumn<QString>("title");   // every window's: the adapter the document goes by
    QTest::addColumn<QString>("message");  // the start of what the last message box said
    QTest::newRow("other adapter") << ReopenEnd::Opened << false << true << QStringLiteral("OrinBri2") << QString();
    QTest::newRow("cancel") << ReopenEnd::Cancelled << true << true << QStringLiteral("OrinBri1") << QString();
    QTest::newRow("registration not answered") << ReopenEnd::RegistrationFailed << true << true
                                               << QStringLiteral("OrinBri1") << QStringLiteral("Tpx Register 258");
    QTest::newRow("chosen adapter not opened") << ReopenEnd::OpenFailed << false << false
                                               << QStringLiteral("OrinBri2") << QStringLiteral("Tpx Open 258");
}

// Open Adapter inside a document that traces. Another adapter chosen ends
// the trace (and says so), and every window takes that adapter's name, also
// when it will not open (the document then has none, and no statistics to
// show). A Cancel, or a failure before the choice, changes nothing: every
// window still names the adapter the document holds, whose trace goes on.
void AppTest::OpenAdapterInsideADocumentThatTraces() {
    QFETCH(ReopenEnd, end);
    QFETCH(bool, unchanged);
    QFETCH(bool, opened);
    QFETCH(QString, title);
    QFETCH(QString, message);
    const TwoAdapterCard card;
    const QString previous = QDir::currentPath();
    const auto back = qScopeGuard([&] { QDir::setCurrent(previous); });  // also after a failed check
    QVERIFY(QDir::setCurrent(m_dir->path()));
    testsupport::RecordingMessageBox messages;
    app::ProgramDocuments documents;
    {
        CMainFrame frame(documents);
        auto ui = std::make_unique<testsupport::ScriptedUi>();
        testsupport::ScriptedUi& script = *ui;
        script.adapterAnswers = {0};
        script.adapterAnswers.push_back(end == ReopenEnd::Cancelled ? std::nullopt : std::optional<int>(1));
        Peer(frame).SetUiServices(std::move(ui));
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.Action(app::ID_FILE_OPEN)->trigger();
        views::CTraceChildFrame* list = frame.ActiveTraceFrame();
        QVERIFY(list);
        auto& document = dynamic_cast<adapter::CMarloTrcDoc&>(list->GetDocument());
        frame.Action(app::ID_TRACE_START)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(list->ListView()->model()->rowCount() >= 3, 20000);
        frame.Action(app::ID_VIEW_CARD_STATISTICS)->trigger();
        const QPointer<QWidget> statistics = Peer(frame).StatisticsFrame()->widget();
        Peer(frame).MdiArea()->setActiveSubWindow(list);
        frame.Action(app::ID_VIEW_CALLS)->trigger();
        Peer(frame).MdiArea()->setActiveSubWindow(list);
        QCOMPARE(Peer(frame).MdiArea()->subWindowList().size(), 3);

        // The driver leaves the registration (request 1) or the open (2) unanswered.
        std::optional<linekit::WaitLimit> shortWaits;
        if (end == ReopenEnd::RegistrationFailed || end == ReopenEnd::OpenFailed) {
            shortWaits.emplace(std::chrono::milliseconds(300));
            card.Card().SetStall({end == ReopenEnd::RegistrationFailed ? 1u : 2u});
        }
        frame.Action(app::ID_FILE_OPEN)->trigger();
        card.Card().SetStall({});
        shortWaits.reset();

        QCOMPARE(document.IsOpened(), opened);
        QCOMPARE(QString::fromStdString(document.GetPathName()), title);
        QCOMPARE(frame.Action(app::ID_TRACE_STOP)->isEnabled(), unchanged);
        QCOMPARE(frame.Action(app::ID_TRACE_START)->isEnabled(), !unchanged);
        if (!unchanged)
            QVERIFY(QString::fromStdString(script.statusTexts.back()).startsWith(QStringLiteral("TRACE: Stopped reading")));
        QCOMPARE(statistics.isNull(), !unchanged);  // the same window, or one started afresh
        QCOMPARE(Peer(frame).StatisticsFrame() != nullptr, opened);
        QCOMPARE(Peer(frame).MdiArea()->subWindowList().size(), opened ? 3 : 2);
        for (QMdiSubWindow* window : Peer(frame).MdiArea()->subWindowList())
            QVERIFY2(window->windowTitle().section(QStringLiteral(" \u2013 "), 0, 0) == title,
                     qPrintable(window->windowTitle()));
        QCOMPARE(frame.windowTitle().section(QStringLiteral(" \u2013 "), 0, 0), QStringLiteral("MarloTrc - ") + title);
        // Another adapter chosen, the records not saved are offered first (and discarded here).
        std::vector<std::string> said = messages.Texts();
        if (end == ReopenEnd::Opened || end == ReopenEnd::OpenFailed) {
            QVERIFY(!said.empty());
            QVERIFY2(QString::fromStdString(said.front()).startsWith(QStringLiteral("The list holds ")), said.front().c_str());
            said.erase(said.begin());
            QCOMPARE(list->ListView()->model()->rowCount(), 0);  // the new file's list
        }
        QCOMPARE(said.empty(), message.isEmpty());
        if (!message.isEmpty())  // after the library's own word on the request it gave up on
            QVERIFY2(QString::fromStdString(said.back()).startsWith(message), said.back().c_str());
        if (unchanged) {  // the capture goes on
            const int rows = list->ListView()->model()->rowCount();
            QTRY_VERIFY_WITH_TIMEOUT(list->ListView()->model()->rowCount() > rows, 20000);
        }

        messages.ScriptAnswers({platform::MbResult::No});
        frame.CloseAllDocuments();
    }
}

// The Window menu's entries without their numbers.
QStringList WindowEntries(CMainFrame& frame) {
    for (QAction* a : frame.menuBar()->actions()) {
        if (a->text() != QStringLiteral("&Window")) continue;
        emit a->menu()->aboutToShow();
        QStringList entries;
        const QList<QAction*> actions = a->menu()->actions();
        for (qsizetype i = 5; i < actions.size(); ++i) entries << actions[i]->text().section(QLatin1Char(' '), 1);
        return entries;
    }
    return {};
}

void AppTest::CardWindowsFollowTheAdapterTheirDocumentOpens() {
    const TwoAdapterCard card;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    testsupport::RecordingMessageBox messages;
    app::ProgramDocuments documents;
    {
        CMainFrame frame(documents);
        auto ui = std::make_unique<testsupport::ScriptedUi>();
        ui->adapterAnswers = {0, 1};
        Peer(frame).SetUiServices(std::move(ui));
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.Action(app::ID_FILE_OPEN)->trigger();
        views::CTraceChildFrame* list = frame.ActiveTraceFrame();
        QVERIFY(list);
        frame.Action(app::ID_VIEW_CARD_STATISTICS)->trigger();
        QVERIFY(Peer(frame).StatisticsFrame());
        QCOMPARE(Peer(frame).StatisticsFrame()->windowTitle(), QStringLiteral("OrinBri1 \u2013 Statistics"));
        QCOMPARE(WindowEntries(frame), (QStringList{"OrinBri1", "OrinBri1 \u2013 Statistics"}));
        const QPointer<QWidget> firstForm = Peer(frame).StatisticsFrame()->widget();

        // The other adapter: the statistics window starts afresh on it
        // (zeroed and read from it), and every window says its name.
        Peer(frame).MdiArea()->setActiveSubWindow(list);
        frame.Action(app::ID_FILE_OPEN)->trigger();
        QVERIFY(Peer(frame).StatisticsFrame());
        QVERIFY(firstForm.isNull());
        QCOMPARE(Peer(frame).StatisticsFrame()->windowTitle(), QStringLiteral("OrinBri2 \u2013 Statistics"));
        QCOMPARE(WindowEntries(frame), (QStringList{"OrinBri2", "OrinBri2 \u2013 Statistics"}));
        QCOMPARE(Peer(frame).StatisticsWindowFlag(), 1);
        QVERIFY(frame.Action(app::ID_VIEW_CARD_STATISTICS)->isChecked());

        // (A cancelled or failed Open Adapter: OpenAdapterInsideADocumentThatTraces.)

        // Two logs of one name in two folders are told apart in the menu.
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("other")));
        const QString twin = m_dir->filePath(QStringLiteral("other/sample.log"));
        QVERIFY(QFile::copy(m_sample, twin));
        QVERIFY(frame.OpenLogFile(m_sample.toStdString()));
        QVERIFY(frame.OpenLogFile(twin.toStdString()));
        const QStringList entries = WindowEntries(frame);
        QCOMPARE(entries.size(), 4);
        QCOMPARE(QSet<QString>(entries.begin(), entries.end()).size(), 4);
        QVERIFY2(entries[3].startsWith(QStringLiteral("sample.log (")) && entries[3].contains(QStringLiteral("other")),
                 qPrintable(entries[3]));

        messages.ScriptAnswers({platform::MbResult::No});
        frame.CloseAllDocuments();
    }
    QVERIFY(QDir::setCurrent(previous));
}

// A large log's window shows its first records at once; the rest arrive in
// slices between events, with the load's and then the analysis's progress
// in the status bar, every record once and in order, and a filter applied
// meanwhile counting them all.
void AppTest::ALargeLogShowsItsFirstScreenAndLoadsTheRestBetweenEvents() {
    int records = 0;
    const QString path = WriteLargeLog(QStringLiteral("large.log"), &records);
    QVERIFY(!path.isEmpty());
    QSignalSpy messages(m_frame->statusBar(), &QStatusBar::messageChanged);
    QVERIFY(m_frame->OpenLogFile(path.toStdString()));
    views::CTraceChildFrame* frame = m_frame->ActiveTraceFrame();
    QVERIFY(frame);
    const QAbstractItemModel* model = frame->ListView()->model();
    QCOMPARE(model->rowCount(), views::BackgroundLoads::kFirstRecords);
    QCOMPARE(frame->windowTitle(), QStringLiteral("large.log"));
    QVERIFY(frame->AnalysisBehind());
    const QString expression = QStringLiteral("seq >= 3");
    QVERIFY(frame->ListView()->ApplyFilter(expression));

    QTRY_VERIFY_WITH_TIMEOUT(!frame->AnalysisBehind(), 30000);
    const trace::CTraceLog* log = frame->GetDocument().GetTraceLog();
    QCOMPARE(log->GetRecordCount(), records);
    const auto parsed = filter::DisplayFilter::Parse(expression.toStdString());
    const std::vector<int> matching = filter::MatchingRecords(*parsed, *log, 0, records);
    QCOMPARE(frame->ListView()->ShownRecords(), matching);
    QCOMPARE(frame->Filter()->CountText(), QStringLiteral("%1 of %2 records").arg(matching.size()).arg(records));
    views::DocumentAnalysis whole(frame->GetDocument());
    QVERIFY(whole.Update());
    QCOMPARE(frame->Analysis()->Analyzer().RecordsSeen(), whole.Analyzer().RecordsSeen());
    QCOMPARE(frame->Analysis()->Analyzer().Problems().size(), whole.Analyzer().Problems().size());
    QCOMPARE(frame->Analysis()->Analyzer().Calls().size(), whole.Analyzer().Calls().size());
    // The list stays at the top while the rest arrives.
    QCOMPARE(frame->ListView()->rowAt(0), 0);

    QStringList said;
    for (const QList<QVariant>& message : messages) said << message.at(0).toString();
    const auto loading = std::find_if(said.begin(), said.end(),
                                      [](const QString& text) { return text.startsWith(QStringLiteral("Loading… ")); });
    QVERIFY2(loading != said.end(), qPrintable(said.join(QLatin1Char('|'))));
    QVERIFY(QRegularExpression(QStringLiteral("^Loading… [0-9]+% \\([0-9]+ records\\)$")).match(*loading).hasMatch());
    const auto loaded = std::find(said.begin(), said.end(), QStringLiteral("Loaded: %1 records.").arg(records));
    QVERIFY2(loaded != said.end() && loaded > loading, qPrintable(said.join(QLatin1Char('|'))));
    QVERIFY(said.contains(QStringLiteral("Calls and problems of all %1 records are worked out.").arg(records)));
    QCOMPARE(m_frame->RecentFiles().value(0), QFileInfo(path).canonicalFilePath());
}

// Save, Export and Find take the whole file: they read the rest first (Save
// then moves the file, Export writes every record the filter lets through).
// Close stops the load; nothing more arrives for the closed document.
void AppTest::SaveAndExportWaitForTheLoadAndCloseStopsIt() {
    int records = 0;
    const QString path = WriteLargeLog(QStringLiteral("large.log"), &records);
    QVERIFY(!path.isEmpty());
    QVERIFY(m_frame->OpenLogFile(path.toStdString()));
    views::CTraceChildFrame* frame = m_frame->ActiveTraceFrame();
    QVERIFY(frame && frame->GetDocument().GetTraceLog()->GetRecordCount() < records);
    const std::filesystem::path kept = m_dir->filePath(QStringLiteral("kept.log")).toStdString();
    m_ui->fileAnswers = {kept};
    m_frame->Action(app::ID_FILE_SAVE)->trigger();
    QCOMPARE(frame->GetDocument().GetTraceLog()->GetRecordCount(), records);
    QCOMPARE(frame->ListView()->model()->rowCount(), records);
    QVERIFY(std::filesystem::exists(kept));
    QVERIFY(!QFile::exists(path));
    m_frame->Action(app::ID_FILE_CLOSE)->trigger();
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{0});

    // Export of the filtered rows while the log loads: every matching record.
    QVERIFY(m_frame->OpenLogFile(kept));
    frame = m_frame->ActiveTraceFrame();
    QVERIFY(frame && frame->GetDocument().GetTraceLog()->GetRecordCount() < records);
    const QString expression = QStringLiteral("seq >= 3");
    QVERIFY(frame->ListView()->ApplyFilter(expression));
    {
        testsupport::RecordingMessageBox boxes;
        const std::filesystem::path csv = m_dir->filePath(QStringLiteral("shown.csv")).toStdString();
        m_ui->fileAnswers = {csv};
        m_frame->Action(app::ID_FILE_EXPORT)->trigger();
        const trace::CTraceLog& log = *frame->GetDocument().GetTraceLog();
        QCOMPARE(log.GetRecordCount(), records);
        const auto parsed = filter::DisplayFilter::Parse(expression.toStdString());
        const std::size_t matching = filter::MatchingRecords(*parsed, log, 0, records).size();
        QCOMPARE(boxes.Texts(),
                 std::vector<std::string>{std::to_string(matching) + " records exported to " + csv.string() + "."});
    }
    m_frame->Action(app::ID_FILE_CLOSE)->trigger();

    QSignalSpy messages(m_frame->statusBar(), &QStatusBar::messageChanged);
    QVERIFY(m_frame->OpenLogFile(kept));
    std::weak_ptr<trace::CDocument> document = m_frame->ActiveTraceFrame()->DocumentPtr();
    m_frame->Action(app::ID_FILE_CLOSE)->trigger();
    QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{0});
    QTRY_VERIFY(document.expired());
    // Nothing can tell of a load whose document is gone: a slice still
    // queued finds no document to read.
    for (const QList<QVariant>& message : messages)
        QVERIFY2(!message.at(0).toString().startsWith(QStringLiteral("Loaded")), qPrintable(message.at(0).toString()));
}

// Damage the first screen did not reach is found by a later slice: the
// loader's message, then the question with every record before the damage.
// No closes the window; Yes keeps the records, read-only, and says so in
// the title.
void AppTest::DamageFoundAfterTheFirstScreenIsAskedAboutThen() {
    int records = 0;
    const QString path = WriteLargeLog(QStringLiteral("cut.log"), &records, 5);
    QVERIFY(!path.isEmpty());
    const QString question =
        QStringLiteral("The file cut.log is damaged. Open the %1 records before the damage, read-only?").arg(records);
    const QStringList said = {QStringLiteral("Could not read data portion of record!"), question};
    for (const platform::MbResult answer : {platform::MbResult::No, platform::MbResult::Yes}) {
        testsupport::RecordingMessageBox boxes;
        boxes.ScriptAnswers({answer});
        QVERIFY(m_frame->OpenLogFile(path.toStdString()));
        QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{1});
        QVERIFY(boxes.Texts().empty());
        views::CTraceChildFrame* frame = m_frame->ActiveTraceFrame();
        QCOMPARE(frame->ListView()->model()->rowCount(), views::BackgroundLoads::kFirstRecords);
        QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(boxes.Texts().size()), 2, 30000);
        QStringList texts;
        for (const std::string& text : boxes.Texts()) texts << QString::fromStdString(text);
        QCOMPARE(texts, said);
        if (answer == platform::MbResult::No) {
            QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{0});
            continue;
        }
        QCOMPARE(Peer(*m_frame).DocumentCount(), std::size_t{1});
        QCOMPARE(frame->windowTitle(), QStringLiteral("cut.log (intact part of a damaged file, read-only)"));
        QCOMPARE(frame->ListView()->model()->rowCount(), records);
        m_frame->Action(app::ID_FILE_SAVE)->trigger();
        QCOMPARE(boxes.Texts().back(), std::string("This window shows the intact part of a damaged file; it is read-only."));
    }
}

QTEST_MAIN(AppTest)
#include "AppTest.moc"
