// The trace window's tools for finding what matters: the display filter bar
// (colours, history, counts, live records), octets highlighted from the tree
// and tree nodes chosen from the dump, auto-scroll during a capture, Home and
// End, and what Copy takes from each pane.

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMdiArea>
#include <QProgressDialog>
#include <QTimer>
#include <QSignalSpy>
#include <QtTest>

#include "tests/views/ViewSupport.h"
#include "platform/File.h"
#include "trace/LogFile.h"
#include "trace/RecordPrinter.h"
#include "trace/RecordCells.h"
#include "views/FilterBar.h"
#include "views/MarloTrcHexView.h"
#include "views/MarloTrcListView.h"
#include "views/MarloTrcTreeView.h"
#include "views/TraceChildFrame.h"

using namespace viewtest;

namespace {

const Bytes kRR = {0x02, 0x81, 0x01, 0x08};
// SETUP: bearer capability (its length octet is octet 9), sending complete,
// channel identification, called number 5551234.
const Bytes kSetup = {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA2,
                      0x18, 0x01, 0x83, 0x70, 0x08, 0xA1, '5', '5', '5', '1', '2', '3', '4'};

// A trace window over an in-memory document, shown in an MDI area.
struct Window {
    std::shared_ptr<MemoryDocument> doc = std::make_shared<MemoryDocument>();
    QMdiArea area;
    views::CTraceChildFrame* frame = nullptr;

    Window() {
        area.resize(1000, 800);
        frame = new views::CTraceChildFrame(doc, trace::BuildDecodeTree, QSize(900, 700));
        area.addSubWindow(frame);
        area.show();
    }
    views::CMarloTrcListView& List() { return *frame->ListView(); }
    views::FilterBar& Bar() { return *frame->Filter(); }
    QString Seq(int row) { return List().model()->data(List().model()->index(row, 0)).toString(); }
};

}  // namespace

class FindTheRecordsTest : public QObject {
    Q_OBJECT

private slots:
    void FilterBarShowsOnlyMatchingRecordsAlsoAsTheyArrive();
    void TreeNodesHighlightTheirOctetsAndOctetsChooseNodes();
    void AutoScrollStopsWhileARecordIsLookedAtDuringACapture();
    void CopyTakesWhatTheActivePaneShows();
    void FindWalksTheShownRecordsAndWraps();
    void FindShowsItsProgressAndCancelLeavesTheSelection();
    void TimeColumnShowsTheChosenFormat();
};

void FindTheRecordsTest::TimeColumnShowsTheChosenFormat() {
    MemoryDocument doc;
    doc.Log().AddRawRecord(DChannelRecord(1, kRR, 10));
    doc.Log().AddRawRecord(DChannelRecord(2, kSetup, 35));
    doc.Log().AddRawRecord(DChannelRecord(3, kRR, 99));
    views::CMarloTrcListView list(doc);
    list.OnUpdate(nullptr, trace::HINT_INITIAL_UPDATE, 0);
    views::RecordListModel& model = list.Model();
    const auto times = [&] {
        QStringList cells;
        for (int row = 0; row < model.rowCount(); ++row) cells.append(model.index(row, 1).data().toString());
        return cells;
    };
    QCOMPARE(times(), (QStringList{"  12:34:56.10", "  12:34:56.35", "  12:34:56.99"}));
    model.SetTimeFormat(views::RecordListModel::TimeFormat::SinceFirst);
    QCOMPARE(times(), (QStringList{"0.00", "0.25", "0.89"}));
    model.SetTimeFormat(views::RecordListModel::TimeFormat::SincePrevious);
    QCOMPARE(times(), (QStringList{"0.00", "0.25", "0.64"}));
    // Since the previous shown record: under a filter the row above counts.
    QVERIFY(list.ApplyFilter(QStringLiteral("ftype == RR")));
    QCOMPARE(times(), (QStringList{"0.00", "0.89"}));
}

void FindTheRecordsTest::FindWalksTheShownRecordsAndWraps() {
    Window w;
    for (std::uint16_t seq = 1; seq <= 4; ++seq) w.doc->Append(DChannelRecord(seq, seq % 2 == 0 ? kSetup : kRR));
    QTRY_COMPARE(w.List().model()->rowCount(), 4);
    QSignalSpy notes(w.frame, &views::CTraceChildFrame::StatusNote);
    views::CMarloTrcListView& list = w.List();

    struct Step {
        const char* what;
        bool forward;
        int record;  // -1: not found
        bool wrapped;
    };
    const Step steps[] = {
        {"msg == SETUP", true, 1, false},
        {"msg == SETUP", true, 3, false},
        {"msg == SETUP", true, 1, true},
        {"msg == SETUP", false, 3, true},
        {"rr", true, 0, true},             // the FTYP cell, any case
        {"5551234", true, 1, false},       // only in the tree (the called number)
        {"08 01 01 05", true, 3, false},   // octets
        {"08:01:01:05", false, 1, false},
        {"no such thing", true, -1, false},
    };
    for (const Step& step : steps) {
        notes.clear();
        QCOMPARE(list.Find(QString::fromLatin1(step.what), step.forward), step.record >= 0);
        if (step.record >= 0) QCOMPARE(list.SelectedRecord(), step.record);
        const bool noted = !notes.isEmpty();
        QCOMPARE(noted, step.wrapped || step.record < 0);
    }
    // Under a filter Find sees only the shown records.
    QVERIFY(list.ApplyFilter(QStringLiteral("seq >= 3")));
    QVERIFY(list.Find(QStringLiteral("msg == SETUP"), true));
    QCOMPARE(list.SelectedRecord(), 3);
    QVERIFY(!list.Find(QStringLiteral("seq == 2"), true));
}

// A long search shows how far it has got, and Cancel ends it where it is:
// nothing found, the selection where it was, and the status bar says so.
void FindTheRecordsTest::FindShowsItsProgressAndCancelLeavesTheSelection() {
    constexpr int kRecords = 40000;
    auto doc = std::make_shared<MemoryDocument>();
    for (int i = 0; i < kRecords; ++i) doc->Log().AddRawRecord(DChannelRecord(static_cast<std::uint16_t>(i), kRR));
    QMdiArea area;
    auto* frame = new views::CTraceChildFrame(doc, trace::BuildDecodeTree, QSize(900, 700));
    area.addSubWindow(frame);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    views::CMarloTrcListView& list = *frame->ListView();
    QCOMPARE(list.model()->rowCount(), kRecords);
    list.selectRow(7);
    list.SetFindProgressDelay(0);
    QSignalSpy notes(frame, &views::CTraceChildFrame::StatusNote);

    // The dialog is cancelled the first time the search lets events through.
    int shownValue = -1;
    QString label;
    int maximum = 0;
    QTimer::singleShot(0, &list, [&] {
        auto* progress = list.findChild<QProgressDialog*>();
        qDebug() << "fired" << progress << (progress ? progress->isVisible() : false);
        if (progress == nullptr) return;
        shownValue = progress->value();
        label = progress->labelText();
        maximum = progress->maximum();
        progress->cancel();
    });
    QVERIFY(!list.Find(QStringLiteral("no such thing"), true));
    QCOMPARE(label, QStringLiteral("Finding \"no such thing\"..."));
    QCOMPARE(maximum, kRecords);
    QVERIFY2(shownValue > 0 && shownValue < kRecords, qPrintable(QString::number(shownValue)));
    QCOMPARE(list.currentIndex().row(), 7);
    // (The analysis may speak of its progress while events go through.)
    QVERIFY(!notes.isEmpty());
    QCOMPARE(notes.last()[0].toString(), QStringLiteral("Find cancelled: the selection is where it was."));
    // Not cancelled, the same search goes through every record and says so.
    notes.clear();
    QVERIFY(!list.Find(QStringLiteral("no such thing"), true));
    QVERIFY(!notes.isEmpty());
    QCOMPARE(notes.last()[0].toString(), QStringLiteral("Not found: no such thing"));
    QVERIFY(list.findChild<QProgressDialog*>() == nullptr);
    delete frame;
}

void FindTheRecordsTest::FilterBarShowsOnlyMatchingRecordsAlsoAsTheyArrive() {
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.area));
    QAbstractItemModelTester tester(w.List().model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    w.doc->Append(DChannelRecord(1, kRR));
    w.doc->Append(DChannelRecord(2, kSetup));
    w.doc->Append(DChannelRecord(3, kRR));
    QTRY_COMPARE(w.List().model()->rowCount(), 3);
    QCOMPARE(w.Bar().CountText(), QStringLiteral("3 records"));
    QSignalSpy notes(w.frame, &views::CTraceChildFrame::StatusNote);

    // The field's colour follows the text as it is typed.
    QCOMPARE(w.Bar().State(), 0);
    w.Bar().SetText(QStringLiteral("tei =="));
    QCOMPARE(w.Bar().State(), -1);
    QVERIFY(w.Bar().Field()->lineEdit()->toolTip().contains(QStringLiteral("expected a value")));
    w.Bar().Apply();  // refused: nothing changes, the reason goes to the status bar
    QCOMPARE(w.List().model()->rowCount(), 3);
    QVERIFY(!notes.isEmpty() && notes.last().at(0).toString().contains(QStringLiteral("at character 7")));
    QVERIFY(notes.last().at(0).toString().endsWith(QStringLiteral("the list shows every record")));
    QCOMPARE(w.Bar().Text(), QString());  // the field says what the list shows

    w.Bar().SetText(QStringLiteral("msg == \"SETUP\" and called contains \"555\""));
    QCOMPARE(w.Bar().State(), 1);
    QTest::keyClick(w.Bar().Field()->lineEdit(), Qt::Key_Return);
    QCOMPARE(w.List().model()->rowCount(), 1);
    QCOMPARE(w.Seq(0), QStringLiteral("002"));  // its own sequence number
    QCOMPARE(w.Bar().CountText(), QStringLiteral("1 of 3 records"));
    QCOMPARE(notes.last().at(0).toString(), QStringLiteral("1 of 3 records"));
    QCOMPARE(w.Bar().Field()->count(), 1);  // remembered

    // Selection reaches the tree and the hex dump with the record, not the row.
    w.List().selectRow(0);
    std::string expected;
    w.doc->Log().FormatHexDump(expected, 1);
    QCOMPARE(w.frame->HexView()->DumpText(), expected);
    QCOMPARE(w.List().SelectedRecord(), 1);

    // Records arriving later are filtered too.
    w.doc->Append(DChannelRecord(4, kRR));
    w.doc->Append(DChannelRecord(5, kSetup));
    QTRY_COMPARE(w.List().model()->rowCount(), 2);
    QCOMPARE(w.Seq(1), QStringLiteral("005"));
    QCOMPARE(w.Bar().CountText(), QStringLiteral("2 of 5 records"));

    // Another filter keeps the selected record selected when it is shown.
    w.Bar().SetText(QStringLiteral("ftype == I"));
    w.Bar().Apply();
    QCOMPARE(w.List().model()->rowCount(), 2);
    QCOMPARE(w.List().SelectedRecord(), 1);
    QCOMPARE(w.Bar().Field()->itemText(0), QStringLiteral("ftype == I"));  // newest first
    QCOMPARE(w.Bar().Field()->count(), 2);
    // An expression that does not parse leaves the field on the filter shown.
    w.Bar().SetText(QStringLiteral("ftype == "));
    w.Bar().Apply();
    QCOMPARE(w.Bar().Text(), QStringLiteral("ftype == I"));
    QVERIFY(notes.last().at(0).toString().endsWith(QStringLiteral("the list shows ftype == I")));

    // A filter that hides the record being viewed empties the tree and the
    // dump; one that shows it again returns to it.
    w.Bar().SetText(QStringLiteral("ftype == RR"));
    w.Bar().Apply();
    QCOMPARE(w.List().SelectedRecord(), -1);
    QCOMPARE(w.frame->TreeView()->topLevelItemCount(), 0);
    QVERIFY(w.frame->HexView()->DumpText().empty());
    w.Bar().Clear();
    QCOMPARE(w.List().model()->rowCount(), 5);
    QCOMPARE(w.Bar().CountText(), QStringLiteral("5 records"));
    QCOMPARE(w.Bar().State(), 0);
    QCOMPARE(w.List().SelectedRecord(), 1);
    QCOMPARE(w.frame->HexView()->DumpText(), expected);
}

void FindTheRecordsTest::TreeNodesHighlightTheirOctetsAndOctetsChooseNodes() {
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.area));
    w.doc->Append(DChannelRecord(1, kSetup));
    QTRY_COMPARE(w.List().model()->rowCount(), 1);
    w.List().selectRow(0);
    views::CMarloTrcTreeView& tree = *w.frame->TreeView();
    views::CMarloTrcHexView& hex = *w.frame->HexView();

    struct Case {
        const char* node;
        std::pair<int, int> octets;
    };
    const Case cases[] = {
        {"Frame", {0, 26}},
        {"Layer 2/Address: 00-064-C", {0, 2}},
        {"Layer 2/FTYP: I", {2, 2}},
        {"Layer 2/CRV: O00001", {5, 2}},
        {"Layer 2/Message: SETUP", {7, 1}},
        {"Layer 2/Source: TE", {0, 0}},
        {"Layer 3", {4, 22}},
        {"Layer 3/1- bearer capabil ", {8, 5}},
        {"Layer 3/1- bearer capabil /Mnemonic: SPEECH", {10, 3}},
        {"Layer 3/3- called number  ", {16, 10}},
    };
    for (const Case& c : cases) {
        QTreeWidgetItem* item = Find(tree, QString::fromLatin1(c.node));
        QVERIFY2(item != nullptr, c.node);
        tree.setCurrentItem(item);
        QCOMPARE(hex.Highlight(), c.octets);
    }
    // The highlighted octets are painted (a screenshot shows them).
    hex.viewport()->repaint();

    // Clicking an octet of the dump, in the hex or the character field,
    // selects the deepest node over it.
    const auto point = [&](int column, int line) {
        const qreal width = QFontMetricsF(hex.font()).horizontalAdvance(QLatin1Char('0'));
        return QPoint(static_cast<int>((column + 0.5) * width), line * hex.LineHeight() + hex.LineHeight() / 2);
    };
    const auto click = [&](int column, int line) -> QString {
        const QPoint at = point(column, line);
        if (hex.OctetAt(at) != line * 16 + (column >= 57 ? column - 57 : (column - 8) / 3)) return QStringLiteral("?");
        QTest::mouseClick(hex.viewport(), Qt::LeftButton, {}, at);
        return tree.currentItem() != nullptr ? tree.currentItem()->text(0) : QString();
    };
    QCOMPARE(click(8 + 3 * 9, 0), QStringLiteral("Ln: 03"));
    QCOMPARE(hex.Highlight(), std::make_pair(9, 1));
    QCOMPARE(click(57 + 7, 0), QStringLiteral("Message: SETUP"));
    QCOMPARE(click(8 + 3 * 4, 1), QStringLiteral("Mnemonic: 5551234"));
    QCOMPARE(hex.OctetAt(QPoint(2, 2)), -1);  // the offset field
}

void FindTheRecordsTest::AutoScrollStopsWhileARecordIsLookedAtDuringACapture() {
    QTemporaryDir dir;
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.area));
    // A running reader makes this a live capture; the records below come
    // through the document as the capture's would.
    std::unique_ptr<trace::CLogFile> file;
    QCOMPARE(trace::CreateTraceLogFile(file, w.doc->Log(), dir.path().toStdString()), 1);
    w.doc->Log().SetTarget(&w.List());
    QCOMPARE(w.doc->Log().StartReader(), 1);
    QSignalSpy notes(w.frame, &views::CTraceChildFrame::StatusNote);
    views::CMarloTrcListView& list = w.List();
    const auto visible = [&](int row) {
        return list.viewport()->rect().intersects(list.visualRect(list.model()->index(row, 0)));
    };

    for (int i = 0; i < 100; ++i) w.doc->Append(DChannelRecord(static_cast<std::uint16_t>(i), kRR));
    QTRY_COMPARE(list.model()->rowCount(), 100);
    QVERIFY(list.AutoScroll());
    QVERIFY(visible(99));

    list.scrollToTop();
    list.selectRow(3);
    QVERIFY(!list.AutoScroll());
    QVERIFY(notes.last().at(0).toString().contains(QStringLiteral("Auto Scroll is off")));
    for (int i = 100; i < 200; ++i) w.doc->Append(DChannelRecord(static_cast<std::uint16_t>(i), kRR));
    QTRY_COMPARE(list.model()->rowCount(), 200);
    QVERIFY(visible(3));
    QVERIFY(!visible(199));
    QCOMPARE(list.SelectedRecord(), 3);

    // End goes to the newest record and follows again; Home to the first.
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_End);
    QVERIFY(list.AutoScroll());
    QCOMPARE(list.SelectedRecord(), 199);
    QVERIFY(visible(199));
    QTest::keyClick(&list, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(list.SelectedRecord(), 0);
    list.selectRow(3);
    QVERIFY(!list.AutoScroll());
    // A new capture follows its newest record again.
    w.doc->Log().DeleteRecords();
    w.doc->UpdateAllViews(nullptr, trace::HINT_TRACE_RESTARTED);
    QVERIFY(list.AutoScroll());
    for (int i = 0; i < 100; ++i) w.doc->Append(DChannelRecord(static_cast<std::uint16_t>(i), kRR));
    QTRY_COMPARE(list.model()->rowCount(), 100);
    QVERIFY(visible(99));
    w.doc->Log().StopReader();
    // Without a capture, choosing a row leaves auto-scroll as it is.
    list.SetAutoScroll(true);
    list.selectRow(50);
    QVERIFY(list.AutoScroll());
}

void FindTheRecordsTest::CopyTakesWhatTheActivePaneShows() {
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.area));
    w.doc->Append(DChannelRecord(1, kRR));
    w.doc->Append(DChannelRecord(2, kSetup));
    QTRY_COMPARE(w.List().model()->rowCount(), 2);
    QCOMPARE(w.frame->CopyText(), QString());  // nothing selected
    w.List().selectRow(1);
    QCOMPARE(w.frame->CopyText(), QString::fromStdString(trace::FormatRecordLine(w.doc->Log(), 1)) + QLatin1Char('\n'));
    QVERIFY(w.frame->CopyText().startsWith(QStringLiteral("002\t  12:34:56.78\t 1\t 2\tDCH\tTE\t00-064-C\tI\t")));

    views::CMarloTrcTreeView& tree = *w.frame->TreeView();
    tree.setFocus();
    QTRY_VERIFY(w.frame->ActivePane() == &tree);
    tree.setCurrentItem(Find(tree, QStringLiteral("Layer 3/1- bearer capabil ")));
    QCOMPARE(w.frame->CopyText(), QStringLiteral("1- bearer capabil \n  Index: 0008\n  #: 04\n  Ln: 03\n"
                                                 "  Name: BEARER CAPABIL \n  Mnemonic: SPEECH\n"));

    views::CMarloTrcHexView& hex = *w.frame->HexView();
    hex.setFocus();
    QTRY_VERIFY(w.frame->ActivePane() == &hex);
    QCOMPARE(w.frame->CopyText(), QStringLiteral("04 03 80 90 A2"));
    hex.SetHighlight(0, 0);
    QCOMPARE(w.frame->CopyText().size(), 26 * 3 - 1);  // every octet
}

QTEST_MAIN(FindTheRecordsTest)
#include "FindTheRecordsTest.moc"
