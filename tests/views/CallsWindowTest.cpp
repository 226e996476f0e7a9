// The Calls and Problems windows over an in-memory trace: the call table, the
// ladder's arrows and clicks, the record list's problem marks, showing one
// call's records, double-clicks on problems, and live growth. Leaves
// pictures of both windows in screenshots/ for a person to look at.

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QDir>
#include <QMdiArea>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTableWidget>
#include <QStyle>
#include <QtTest>

#include "tests/views/ViewSupport.h"
#include "views/CallsWindow.h"
#include "views/FilterBar.h"
#include "views/MarloTrcListView.h"
#include "views/RecordListModel.h"
#include "views/TraceChildFrame.h"

using namespace viewtest;

namespace {

// A D-channel record from either side of the bus, a tenth of a second apart.
Bytes Record(std::uint16_t seq, bool network, const Bytes& frame) {
    Bytes r = DChannelRecord(seq, frame, static_cast<std::uint8_t>(seq * 10 % 100));
    r[17] = network ? 0x01 : 0x00;
    return r;
}

// TEI 64 assigned, the link up, an outgoing call answered; its DISCONNECT
// lacks the cause (an error) and the RELEASE COMPLETE ends it.
const std::vector<std::pair<bool, Bytes>> kCall = {
    {false, {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF}},
    {true, {0xFE, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x02, 0x81}},
    {false, {0x00, 0x81, 0x7F}},
    {true, {0x00, 0x81, 0x73}},
    {false, {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3, 0x70, 0x04, 0xA1, '7', '7',
             '7'}},
    {true, {0x02, 0x81, 0x00, 0x02, 0x08, 0x01, 0x81, 0x07, 0x18, 0x01, 0x89}},
    {false, {0x00, 0x81, 0x02, 0x02, 0x08, 0x01, 0x01, 0x45}},
    {true, {0x02, 0x81, 0x02, 0x04, 0x08, 0x01, 0x81, 0x4D, 0x08, 0x02, 0x80, 0x90}},
    {false, {0x00, 0x81, 0x04, 0x04, 0x08, 0x01, 0x01, 0x5A}},
};

}  // namespace

class CallsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void LadderTableMarksAndProblems();
    void OpensShowingEveryColumn();
    void FollowsALiveCapture();
    void ALargeLogIsAnalysedInSlicesYetWholly();
    void ProblemsSortByEachColumnAndKeepTheCurrentOne();
};

void CallsWindowTest::LadderTableMarksAndProblems() {
    auto doc = std::make_shared<MemoryDocument>();
    for (std::size_t i = 0; i < kCall.size(); ++i)
        doc->Log().AddRawRecord(Record(static_cast<std::uint16_t>(i + 201), kCall[i].first, kCall[i].second));
    QMdiArea area;
    area.resize(900, 600);
    auto* frame = new views::CTraceChildFrame(doc, trace::BuildDecodeTree, QSize(860, 560));
    area.addSubWindow(frame);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QTRY_COMPARE(frame->Analysis()->Analyzer().Calls().size(), std::size_t{1});

    // The record list marks the DISCONNECT (record 6) and only it.
    auto* model = qobject_cast<views::RecordListModel*>(frame->ListView()->model());
    QVERIFY(model != nullptr);
    for (int row = 0; row < model->rowCount(); ++row)
        QCOMPARE(model->data(model->index(row, 0), Qt::DecorationRole).isNull(), row != 6);
    // The icon leaves the Seq # readable beside it.
    const int icon = frame->ListView()->style()->pixelMetric(QStyle::PM_SmallIconSize);
    QVERIFY(frame->ListView()->columnWidth(0) >=
            icon + frame->ListView()->fontMetrics().horizontalAdvance(model->index(6, 0).data().toString()) + 8);

    auto* calls = new views::CCallsWindow(*frame, frame->Analysis());
    calls->show();
    QVERIFY(QTest::qWaitForWindowExposed(calls));
    QCOMPARE(calls->Table()->rowCount(), 1);
    QCOMPARE(calls->Table()->item(0, 4)->text(), QStringLiteral("outgoing"));
    QCOMPARE(calls->Table()->item(0, 8)->text(), QStringLiteral("777"));
    calls->Table()->setCurrentCell(0, 0);
    const auto& steps = calls->Ladder()->Steps();
    QCOMPARE(steps.size(), std::size_t{7});  // SABME, UA and five messages
    QCOMPARE(steps[2].label, std::string("SETUP"));
    // The heading says what is known of the call: its called number, and
    // no stand-in for the calling number it never carried.
    QCOMPARE(calls->Heading()->text(), QStringLiteral("Call 1: outgoing to 777, answered"));
    // The table looks like the record list: its font, one line a row, and
    // every column as wide as its longest text.
    QTableWidget* table = calls->Table();
    QCOMPARE(table->font(), frame->ListView()->font());
    QCOMPARE(table->horizontalHeader()->font(), frame->ListView()->horizontalHeader()->font());
    QCOMPARE(table->rowHeight(0), frame->ListView()->verticalHeader()->defaultSectionSize());
    for (int column = 0; column < table->columnCount(); ++column) {
        const int text = std::max(table->fontMetrics().horizontalAdvance(table->item(0, column)->text()),
                                  table->horizontalHeader()->fontMetrics().horizontalAdvance(
                                      table->horizontalHeaderItem(column)->text()));
        QVERIFY2(table->columnWidth(column) >= text, qPrintable(table->horizontalHeaderItem(column)->text()));
    }
    QCOMPARE(steps[2].from, analysis::Side::TE);
    QCOMPARE(steps[3].label, std::string("CONNECT"));
    QCOMPARE(steps[3].from, analysis::Side::NT);
    QVERIFY(steps[0].layer2);

    // A click on the CONNECT arrow selects its record in the list.
    const int y = 30 * (3 + 1) + 15;
    QTest::mouseClick(calls->Ladder(), Qt::LeftButton, {}, QPoint(300, y));
    QCOMPARE(frame->ListView()->currentIndex().row(), 5);

    // Only this call's records (and its link events) stay in the list,
    // through a display filter the filter bar shows; pressed again, the
    // filter goes, unless the user has put one of their own there since.
    calls->OnlyThisCall()->click();
    QVERIFY2(frame->Filter()->Text().startsWith(QStringLiteral("(crv == 1 and tei == 64 and ")),
             qPrintable(frame->Filter()->Text()));
    QCOMPARE(frame->ListView()->model()->rowCount(), 7);  // SABME, UA and five messages
    calls->OnlyThisCall()->click();
    QVERIFY(frame->Filter()->Text().isEmpty());
    QCOMPARE(frame->ListView()->model()->rowCount(), static_cast<int>(kCall.size()));
    calls->OnlyThisCall()->click();
    frame->Filter()->SetText(QStringLiteral("msg == SETUP"));
    frame->Filter()->Apply();
    calls->OnlyThisCall()->click();
    QCOMPARE(frame->Filter()->Text(), QStringLiteral("msg == SETUP"));
    QCOMPARE(frame->ListView()->model()->rowCount(), 1);
    frame->Filter()->Clear();

    QVERIFY(QDir().mkpath(QStringLiteral(SCREENSHOT_DIR)));
    QVERIFY(calls->grab().save(QStringLiteral(SCREENSHOT_DIR "/calls-window.png")));

    views::CProblemsWindow problems(*frame, frame->Analysis());
    problems.resize(700, 200);
    problems.show();
    QVERIFY(QTest::qWaitForWindowExposed(&problems));
    const QAbstractItemModel* rows = problems.Table()->model();
    QCOMPARE(rows->rowCount(), 1);
    QCOMPARE(rows->index(0, 0).data().toString(), QStringLiteral("207"));  // its Seq #, not its position
    QCOMPARE(rows->index(0, 1).data().toString(), QStringLiteral("error"));
    // Enter on a problem shows its record, as a double click does.
    problems.Table()->setFocus();
    problems.Table()->setCurrentIndex(rows->index(0, 2));
    frame->ListView()->selectRow(0);
    QTest::keyClick(problems.Table(), Qt::Key_Return);
    QCOMPARE(frame->ListView()->currentIndex().row(), 6);
    QVERIFY(problems.grab().save(QStringLiteral(SCREENSHOT_DIR "/problems-window.png")));
    delete frame;
}

// The window opens wide enough for every column of its table, one call or
// more than it has room for (a vertical scroll bar beside the columns).
void CallsWindowTest::OpensShowingEveryColumn() {
    for (const int calls : {1, 60}) {
        const QByteArray what = QByteArray::number(calls) + " calls";
        auto doc = std::make_shared<MemoryDocument>();
        std::uint16_t seq = 1;
        for (int k = 0; k < calls; ++k)
            for (const auto& [network, frame] : kCall) doc->Log().AddRawRecord(Record(seq++, network, frame));
        views::CTraceChildFrame frame(doc, trace::BuildDecodeTree, QSize(860, 560));
        views::CCallsWindow window(frame, frame.Analysis());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QTableWidget* table = window.Table();
        QCOMPARE(table->rowCount(), calls);
        QCOMPARE(table->verticalScrollBar()->isVisible(), calls > 1);
        QVERIFY2(table->viewport()->width() >= table->horizontalHeader()->length(), what);
        QVERIFY2(!table->horizontalScrollBar()->isVisible(), what);
    }
}

void CallsWindowTest::FollowsALiveCapture() {
    auto doc = std::make_shared<MemoryDocument>();
    QMdiArea area;
    auto* frame = new views::CTraceChildFrame(doc, trace::BuildDecodeTree, QSize(700, 500));
    area.addSubWindow(frame);
    area.show();
    views::CCallsWindow calls(*frame, frame->Analysis());
    QCOMPARE(calls.Table()->rowCount(), 0);
    for (std::size_t i = 0; i < 6; ++i)
        doc->Append(Record(static_cast<std::uint16_t>(i + 1), kCall[i].first, kCall[i].second));
    QTRY_COMPARE(calls.Table()->rowCount(), 1);
    QTRY_COMPARE(calls.Table()->item(0, 11)->text(), QStringLiteral("active"));
    for (std::size_t i = 6; i < kCall.size(); ++i)
        doc->Append(Record(static_cast<std::uint16_t>(i + 1), kCall[i].first, kCall[i].second));
    QTRY_COMPARE(calls.Table()->item(0, 11)->text(), QStringLiteral("released"));
    // A restarted trace starts the analysis over, also when the new trace
    // has outgrown the old one by the time the window looks: a call just
    // set up, then link-layer traffic, and nothing left of the call before.
    doc->Log().DeleteRecords();
    doc->UpdateAllViews(nullptr, trace::HINT_TRACE_RESTARTED);
    std::uint16_t seq = 100;
    for (std::size_t i = 0; i < 6; ++i) doc->Append(Record(seq++, kCall[i].first, kCall[i].second));
    while (doc->Log().GetRecordCount() <= static_cast<int>(kCall.size()))
        doc->Append(Record(seq++, true, {0x02, 0x81, 0x01, 0x04}));  // RR
    QTRY_COMPARE(calls.Table()->item(0, 11)->text(), QStringLiteral("active"));
    QCOMPARE(calls.Table()->rowCount(), 1);
    // A restarted trace starts the analysis over.
    doc->Log().DeleteRecords();
    doc->UpdateAllViews(nullptr, trace::HINT_TRACE_RESTARTED);
    QTRY_COMPARE(calls.Table()->rowCount(), 0);
    delete frame;
}

QTEST_MAIN(CallsWindowTest)

// A large log opens without waiting for its analysis: the frame works it out
// a slice at a time between events, and ends with exactly what one pass over
// every record finds. A problems window opened before the slices are done
// still lists every problem at once.
void CallsWindowTest::ALargeLogIsAnalysedInSlicesYetWholly() {
    constexpr int kRepeats = 6000;  // 54,000 records: several slices
    auto doc = std::make_shared<MemoryDocument>();
    std::uint16_t seq = 1;
    for (int k = 0; k < kRepeats; ++k)
        for (const auto& [network, frame] : kCall) doc->Log().AddRawRecord(Record(seq++, network, frame));
    const auto records = static_cast<std::uint32_t>(doc->Log().GetRecordCount());

    views::CTraceChildFrame whole(doc, trace::BuildDecodeTree, QSize(860, 560));
    QVERIFY(whole.UpdateAnalysis());
    const analysis::Analyzer& reference = whole.Analysis()->Analyzer();
    QCOMPARE(reference.RecordsSeen(), records);
    QVERIFY(!whole.AnalysisBehind());
    QVERIFY(reference.Problems().size() >= std::size_t{kRepeats});

    views::CTraceChildFrame sliced(doc, trace::BuildDecodeTree, QSize(860, 560));
    QCOMPARE(sliced.Analysis()->Analyzer().RecordsSeen(), 0u);  // nothing before the first screen
    QVERIFY(sliced.AnalysisBehind());
    QTRY_VERIFY_WITH_TIMEOUT(!sliced.AnalysisBehind(), 30000);
    QCOMPARE(sliced.Analysis()->Analyzer().RecordsSeen(), records);
    QCOMPARE(sliced.Analysis()->Analyzer().Calls().size(), reference.Calls().size());
    QCOMPARE(sliced.Analysis()->Analyzer().Problems().size(), reference.Problems().size());

    views::CTraceChildFrame early(doc, trace::BuildDecodeTree, QSize(860, 560));
    views::CProblemsWindow problems(early, early.Analysis());
    QCOMPARE(problems.Table()->model()->rowCount(), static_cast<int>(reference.Problems().size()));
    QVERIFY(!early.AnalysisBehind());
}
// The Problems window opens in record order; a click on a heading sorts by
// that column (ties in record order), again the other way; the problem the
// user is on stays the current one whatever the order.
void CallsWindowTest::ProblemsSortByEachColumnAndKeepTheCurrentOne() {
    auto doc = std::make_shared<MemoryDocument>();
    std::uint16_t seq = 1;
    for (int k = 0; k < 3; ++k)
        for (const auto& [network, frame] : kCall) doc->Log().AddRawRecord(Record(seq++, network, frame));
    views::CTraceChildFrame frame(doc, trace::BuildDecodeTree, QSize(860, 560));
    views::CProblemsWindow problems(frame, frame.Analysis());
    views::ProblemsModel& model = *problems.Model();
    const int rows = model.rowCount();
    QVERIFY2(rows >= 4, qPrintable(QString::number(rows)));
    auto record = [&](int row) { return model.ProblemAt(row).records.front(); };
    auto severity = [&](int row) { return static_cast<int>(model.ProblemAt(row).severity); };
    auto text = [&](int row) { return model.ProblemAt(row).text; };
    for (int row = 1; row < rows; ++row) QVERIFY(record(row - 1) <= record(row));
    QSet<int> severities;
    for (int row = 0; row < rows; ++row) severities.insert(severity(row));
    QVERIFY2(severities.size() >= 2, "the trace needs problems of more than one severity");

    const int chosen = rows / 2;
    problems.Table()->setCurrentIndex(model.index(chosen, 0));
    const analysis::Problem* current = &model.ProblemAt(chosen);
    QHeaderView* header = problems.Table()->horizontalHeader();
    struct Step {
        int column;
        Qt::SortOrder order;
    };
    for (const Step& step : {Step{views::ProblemsModel::kSeverity, Qt::AscendingOrder},
                             Step{views::ProblemsModel::kSeverity, Qt::DescendingOrder},
                             Step{views::ProblemsModel::kProblem, Qt::AscendingOrder},
                             Step{views::ProblemsModel::kRecord, Qt::DescendingOrder},
                             Step{views::ProblemsModel::kRecord, Qt::AscendingOrder}}) {
        header->setSortIndicator(step.column, step.order);
        const bool up = step.order == Qt::AscendingOrder;
        for (int row = 1; row < rows; ++row) {
            const QByteArray where = QByteArray::number(step.column) + (up ? " up, row " : " down, row ") +
                                     QByteArray::number(row);
            if (step.column == views::ProblemsModel::kRecord) {
                QVERIFY2(up ? record(row - 1) <= record(row) : record(row - 1) >= record(row), where);
                continue;
            }
            const bool same = step.column == views::ProblemsModel::kSeverity ? severity(row - 1) == severity(row)
                                                                               : text(row - 1) == text(row);
            if (same) {
                QVERIFY2(record(row - 1) <= record(row), where);  // ties in record order
            } else if (step.column == views::ProblemsModel::kSeverity) {
                QVERIFY2(up ? severity(row - 1) < severity(row) : severity(row - 1) > severity(row), where);
            } else {
                QVERIFY2(text(row - 1) < text(row), where);
            }
        }
        QCOMPARE(&model.ProblemAt(problems.Table()->currentIndex().row()), current);
    }
}

#include "CallsWindowTest.moc"
