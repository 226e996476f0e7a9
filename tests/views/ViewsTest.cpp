// The three panes of a trace window over an in-memory document: rows and
// their cells, live appends, selection reaching the tree and hex panes, the
// tree's remembered node states, the hex pane's painting and scrolling, the
// selection colours, and the frame's pane sizes.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDeadlineTimer>
#include <QHeaderView>
#include <QMdiArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStyle>
#include <QtTest>
#include <map>

#include "tests/views/ViewSupport.h"
#include "analysis/TraceFeed.h"
#include "filter/DisplayFilter.h"
#include "platform/File.h"
#include "trace/LogFile.h"
#include "trace/RecordCells.h"
#include "views/MarloTrcHexView.h"
#include "views/MarloTrcListView.h"
#include "views/MarloTrcTreeView.h"
#include "views/TraceChildFrame.h"

using namespace viewtest;
using trace::DecodeNode;

namespace {

const Bytes kRR = {0x02, 0x81, 0x01, 0x08};
const Bytes kSetup = {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA2,
                      0x18, 0x01, 0x83, 0x70, 0x08, 0xA1, '5', '5', '5', '1', '2', '3', '4'};

QString Text(const views::RecordListModel& model, int row, trace::Column column) {
    return model.data(model.index(row, static_cast<int>(column))).toString();
}

// Canned decode trees, so the pane's own rules are tested apart from the decoders.
DecodeNode Leaf(const std::string& label) { return {label, 0, {}}; }
DecodeNode Branch(const std::string& label, int data, std::vector<DecodeNode> children) {
    return {label, data, std::move(children)};
}
DecodeNode Element(int k, const std::string& name) {
    return Branch(std::to_string(k) + "- " + name, 0,
                  {Leaf("Index: 4"), Leaf("#: 04"), Leaf("Ln: 3"), Leaf("Name: X"), Leaf("Mnemonic: M" + std::to_string(k))});
}
std::vector<DecodeNode> Tree(int index, const std::string& ftyp, std::vector<DecodeNode> elements) {
    return {Branch("Frame", index, {Leaf("Seq: 001"), Leaf("Time:   12:34:56:78"), Leaf("B:  1"), Leaf("LN:  2")}),
            Branch("Layer 2", index,
                   {Leaf("Source: USER"), Leaf("Address: 0/64"), Leaf("FTYP: " + ftyp), Leaf("P: 0"), Leaf("NS: "),
                    Leaf("NR: 004"), Leaf("CRV: "), Leaf("Message: ")}),
            Branch("Layer 3", index, std::move(elements))};
}

QString PathOf(const QTreeWidgetItem* item) {
    QStringList parts;
    for (; item != nullptr; item = item->parent()) parts.prepend(item->text(0));
    return parts.join(QLatin1Char('/'));
}

}  // namespace

class ViewsTest : public QObject {
    Q_OBJECT

private slots:
    void ListShowsOneRowPerRecordWithItsCells();
    void LiveAppendsAreBatchedAndScrolledIntoView();
    void LiveReaderFillsTheListRowByRow();
    void RestartEmptiesTheListButKeepsTreeAndHex();
    void SelectingARowUpdatesTheOtherPanes();
    void TreeKeepsNodeStatesByLabelKey_data();
    void TreeKeepsNodeStatesByLabelKey();
    void TreeAnnouncesTheSelectedNode();
    void HexScrollAreaFollowsTheDump();
    void HexPaintsNothingWhileTheStoreIsEmpty();
    void SelectionIsBlackWhenTheListIsNotTheActivePane();
    void FrameSplitsItsHeightIntoThreePanes_data();
    void FrameSplitsItsHeightIntoThreePanes();
    void FrameOpensWithRoomForTheRecordsAndGoesBeforeItsDocument();
    void EveryViewTellsTheSameOfAFrame_data();
    void EveryViewTellsTheSameOfAFrame();
};

void ViewsTest::ListShowsOneRowPerRecordWithItsCells() {
    MemoryDocument doc;
    doc.Log().AddRawRecord(DChannelRecord(1, kRR));
    doc.Log().AddRawRecord(HexRecord(0x1234, {0x41, 0x42}));
    views::CMarloTrcListView list(doc);
    QAbstractItemModelTester tester(list.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.OnUpdate(nullptr, trace::HINT_INITIAL_UPDATE, 0);

    auto& model = static_cast<views::RecordListModel&>(*list.model());
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 13);
    QCOMPARE(Text(model, 0, trace::Column::Seq), QStringLiteral("001"));
    QCOMPARE(Text(model, 0, trace::Column::Timestamp), QStringLiteral("  12:34:56.78"));
    QCOMPARE(Text(model, 0, trace::Column::B), QStringLiteral(" 1"));
    QCOMPARE(Text(model, 0, trace::Column::LN), QStringLiteral(" 2"));
    QCOMPARE(Text(model, 0, trace::Column::Mod), QStringLiteral("DCH"));
    // Decoded columns: exactly the shared cell texts the terminal tool prints.
    for (int c = static_cast<int>(trace::Column::Source); c < trace::kColumnCount; ++c)
        QCOMPARE(Text(model, 0, static_cast<trace::Column>(c)),
                 QString::fromStdString(trace::CellText(doc.Log(), 0, static_cast<trace::Column>(c))));
    // A hex record: header cells only.
    QCOMPARE(Text(model, 1, trace::Column::Seq), QStringLiteral("4660"));
    QCOMPARE(Text(model, 1, trace::Column::Timestamp), QStringLiteral("  01:02:03.04"));
    for (int c = static_cast<int>(trace::Column::Mod); c < trace::kColumnCount; ++c)
        QCOMPARE(Text(model, 1, static_cast<trace::Column>(c)), QString());

    // Headings, widths and alignment: centred but the message.
    for (int c = 0; c < trace::kColumnCount; ++c) {
        const auto& request = trace::kColumns[static_cast<std::size_t>(c)];
        QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), QString::fromLatin1(request.heading.data(), request.heading.size()));
        // The Message column stretches to the right edge, never narrower.
        // The Seq # column has room for a problem icon besides.
        if (c == trace::kColumnCount - 1 || c == 0)
            QVERIFY(list.columnWidth(c) >= request.width);
        else
            QCOMPARE(list.columnWidth(c), request.width);
        const auto align = model.data(model.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
        QCOMPARE(align & Qt::AlignHorizontal_Mask, c == 12 ? Qt::AlignLeft : Qt::AlignHCenter);
    }
    list.resize(1600, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(list.columnViewportPosition(12) + list.columnWidth(12), list.viewport()->width());
    list.hide();
    // A message ending in a line feed is drawn as its first line.
    QCOMPARE(views::FirstLineDelegate().displayText(QStringLiteral("hello\n"), QLocale()), QStringLiteral("hello"));

    // A closing adapter document has no store: cells are empty, nothing breaks.
    doc.Drop();
    QCOMPARE(Text(model, 0, trace::Column::Seq), QString());
}

void ViewsTest::LiveAppendsAreBatchedAndScrolledIntoView() {
    MemoryDocument doc;
    views::CMarloTrcListView list(doc);
    list.resize(600, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.OnUpdate(nullptr, trace::HINT_INITIAL_UPDATE, 0);
    QSignalSpy inserted(list.model(), &QAbstractItemModel::rowsInserted);

    for (int i = 0; i < 500; ++i) doc.Append(DChannelRecord(static_cast<std::uint16_t>(i), kRR));
    QTRY_COMPARE(list.model()->rowCount(), 500);
    QCOMPARE(inserted.count(), 1);  // one burst, one insertion
    // The newest row is in view.
    const QRect last = list.visualRect(list.model()->index(499, 0));
    QVERIFY(list.viewport()->rect().intersects(last));

    // An index with no record behind it adds nothing.
    doc.UpdateAllViews(nullptr, trace::HINT_RECORD_ADDED, 900);
    QTest::qWait(0);
    QCoreApplication::processEvents();
    QCOMPARE(list.model()->rowCount(), 500);
}

void ViewsTest::LiveReaderFillsTheListRowByRow() {
    QTemporaryDir dir;
    MemoryDocument doc;
    std::unique_ptr<trace::CLogFile> file;
    QCOMPARE(trace::CreateTraceLogFile(file, doc.Log(), dir.path().toStdString()), 1);
    views::CMarloTrcListView list(doc);
    list.OnUpdate(nullptr, trace::HINT_INITIAL_UPDATE, 0);
    // What the adapter document does with each delivered batch.
    int handled = 0;
    list.SetTraceRecordHandler([&](trace::TraceReaderParams& params) {
        handled += doc.Log().AddReaderRecords(
            params, [&](int index) { doc.UpdateAllViews(nullptr, trace::HINT_RECORD_ADDED, index); });
        platform::SetEvent(doc.Log().GetAckEvent());
    });
    doc.Log().SetTarget(&list);
    QCOMPARE(doc.Log().StartReader(), 1);

    Bytes all;
    for (int i = 0; i < 60; ++i) {
        const Bytes r = DChannelRecord(static_cast<std::uint16_t>(i), kRR);
        all.insert(all.end(), r.begin(), r.end());
    }
    QCOMPARE(platform::WriteAll(file->GetFd(), all), 0);
    // Serve the queued records as they come (QTRY_ would sleep between looks).
    QDeadlineTimer deadline(60000);
    while (list.model()->rowCount() < 60 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QCOMPARE(list.model()->rowCount(), 60);
    QCOMPARE(handled, 60);
    QCOMPARE(list.model()->data(list.model()->index(59, 0)).toString(), QStringLiteral("059"));
    doc.Log().StopReader();

    // A window closed while its list receives the capture ends the capture:
    // the reader never hands a record to a view that is gone.
    auto second = std::make_unique<views::CMarloTrcListView>(doc);
    doc.Log().SetTarget(second.get());
    QCOMPARE(doc.Log().StartReader(), 1);
    QVERIFY(doc.Log().IsRunning());
    second.reset();
    QVERIFY(!doc.Log().IsRunning());
    QVERIFY(doc.Log().GetTarget() == nullptr);
}

void ViewsTest::RestartEmptiesTheListButKeepsTreeAndHex() {
    MemoryDocument doc;
    views::CMarloTrcListView list(doc);
    views::CMarloTrcTreeView tree(doc, [](const trace::CTraceLog&, int i) { return Tree(i, "RR", {}); });
    views::CMarloTrcHexView hex(doc);
    doc.Append(DChannelRecord(1, kRR));
    doc.Append(DChannelRecord(2, kSetup));
    QTRY_COMPARE(list.model()->rowCount(), 2);
    list.selectRow(1);
    const std::string dump = hex.DumpText();
    QVERIFY(!dump.empty());

    doc.Log().DeleteRecords();
    doc.UpdateAllViews(nullptr, trace::HINT_TRACE_RESTARTED, 0);
    QCOMPARE(list.model()->rowCount(), 0);
    QCOMPARE(tree.topLevelItemCount(), 3);
    QCOMPARE(hex.DumpText(), dump);

    // Records of the new trace arrive one by one.
    doc.Append(DChannelRecord(1, kRR));
    QTRY_COMPARE(list.model()->rowCount(), 1);
}

void ViewsTest::SelectingARowUpdatesTheOtherPanes() {
    MemoryDocument doc;
    doc.Log().AddRawRecord(DChannelRecord(1, kRR));
    doc.Log().AddRawRecord(DChannelRecord(2, kSetup));
    HintRecorder recorder(doc);
    views::CMarloTrcListView list(doc);
    views::CMarloTrcTreeView tree(doc, [](const trace::CTraceLog&, int i) { return Tree(i, "I", {}); });
    views::CMarloTrcHexView hex(doc);
    list.OnUpdate(nullptr, trace::HINT_INITIAL_UPDATE, 0);

    list.selectRow(1);
    std::string expected;
    doc.Log().FormatHexDump(expected, 1);
    QCOMPARE(hex.DumpText(), expected);
    QCOMPARE(hex.DumpText().size(), std::size_t{2 * 75});  // 26 octets: two lines
    QCOMPARE(tree.topLevelItem(0)->data(0, Qt::UserRole).toLongLong(), 1);
    QVERIFY(recorder.hints.front() == std::make_pair(std::uint32_t{trace::HINT_RECORD_SELECTED}, std::intptr_t{1}));

    // Selecting the row that is already selected announces nothing.
    recorder.hints.clear();
    list.selectRow(1);
    QVERIFY(recorder.hints.empty());

    // Typing a sequence number in plain decimal finds its row.
    list.setCurrentIndex(list.model()->index(0, 0));
    list.keyboardSearch(QStringLiteral("2"));
    QCOMPARE(list.currentIndex().row(), 1);

    // Keyboard: down from row 0.
    list.selectRow(0);
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Down);
    QCOMPARE(list.currentIndex().row(), 1);
    doc.Log().FormatHexDump(expected, 1);
    QCOMPARE(hex.DumpText(), expected);
}

using Action = std::function<void(QTreeWidget&)>;
struct TreeStep {
    std::vector<DecodeNode> tree;
    Action action;  // what the user does on this record's tree
};
Q_DECLARE_METATYPE(std::vector<TreeStep>)

void ViewsTest::TreeKeepsNodeStatesByLabelKey_data() {
    QTest::addColumn<std::vector<TreeStep>>("steps");
    QTest::addColumn<QStringList>("expanded");  // on the last tree
    QTest::addColumn<QString>("selected");

    auto expand = [](const QString& path) {
        return [path](QTreeWidget& t) { Find(t, path)->setExpanded(true); };
    };
    auto select = [](const QString& path) {
        return [path](QTreeWidget& t) { t.setCurrentItem(Find(t, path)); };
    };
    auto both = [](Action a, Action b) {
        return [a, b](QTreeWidget& t) { a(t); b(t); };
    };

    // Opening "Layer 2" and selecting its FTYP node keeps both on the next
    // record, whatever its frame type.
    QTest::newRow("FTYP") << std::vector<TreeStep>{
        {Tree(0, "I", {}), both(expand("Layer 2"), select("Layer 2/FTYP: I"))},
        {Tree(1, "RR", {}), nullptr}}
        << QStringList{"Layer 2"} << "Layer 2/FTYP: RR";

    // An opened element stays open only where the next record has the same
    // name at the same position.
    QTest::newRow("IE") << std::vector<TreeStep>{
        {Tree(0, "I", {Element(1, "bearer capabil "), Element(2, "channel ident  ")}),
         both(expand("Layer 3"), expand("Layer 3/1- bearer capabil "))},
        {Tree(1, "I", {Element(1, "channel ident  "), Element(2, "bearer capabil ")}), nullptr}}
        << QStringList{"Layer 3"} << "";

    QTest::newRow("IE again") << std::vector<TreeStep>{
        {Tree(0, "I", {Element(1, "bearer capabil ")}), both(expand("Layer 3"), expand("Layer 3/1- bearer capabil "))},
        {Tree(1, "UI", {}), nullptr},
        {Tree(2, "I", {Element(1, "bearer capabil "), Element(2, "called party nu")}), nullptr}}
        << QStringList{"Layer 3", "Layer 3/1- bearer capabil "} << "";

    // Two elements open, the second's Mnemonic selected: the next record
    // selects the Mnemonic of its last element (the last match wins).
    QTest::newRow("last match wins") << std::vector<TreeStep>{
        {Tree(0, "I", {Element(1, "bearer capabil "), Element(2, "channel ident  ")}),
         both(both(expand("Layer 3"), expand("Layer 3/1- bearer capabil ")),
              both(expand("Layer 3/2- channel ident  "), select("Layer 3/2- channel ident  /Mnemonic: M2")))},
        {Tree(1, "I", {Element(1, "bearer capabil "), Element(2, "channel ident  "), Element(3, "called party nu")}),
         nullptr}}
        << QStringList{"Layer 3", "Layer 3/1- bearer capabil ", "Layer 3/2- channel ident  ", "Layer 3/3- called party nu"}
        << "Layer 3/3- called party nu/Mnemonic: M3";
}

void ViewsTest::TreeKeepsNodeStatesByLabelKey() {
    QFETCH(std::vector<TreeStep>, steps);
    QFETCH(QStringList, expanded);
    QFETCH(QString, selected);

    MemoryDocument doc;
    for (std::size_t i = 0; i < steps.size(); ++i) doc.Log().AddRawRecord(DChannelRecord(1, kRR));
    views::CMarloTrcTreeView tree(doc, [&steps](const trace::CTraceLog&, int i) {
        return steps[static_cast<std::size_t>(i)].tree;
    });
    for (std::size_t i = 0; i < steps.size(); ++i) {
        doc.UpdateAllViews(nullptr, trace::HINT_RECORD_SELECTED, static_cast<std::intptr_t>(i));
        if (steps[i].action) steps[i].action(tree);
    }

    QStringList open;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        if (item->isExpanded()) open << PathOf(item);
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i));
    };
    for (int i = 0; i < tree.topLevelItemCount(); ++i) walk(tree.topLevelItem(i));
    QCOMPARE(open, expanded);
    const QList<QTreeWidgetItem*> chosen = tree.selectedItems();
    QCOMPARE(chosen.isEmpty() ? QString() : PathOf(chosen.front()), selected);
}

void ViewsTest::TreeAnnouncesTheSelectedNode() {
    MemoryDocument doc;
    doc.Log().AddRawRecord(DChannelRecord(1, kRR));
    doc.Log().AddRawRecord(DChannelRecord(2, kRR));
    HintRecorder recorder(doc);
    views::CMarloTrcTreeView tree(doc, [](const trace::CTraceLog&, int i) { return Tree(i, "RR", {}); });

    // Every rebuild ends with one announcement: nothing selected yet.
    doc.UpdateAllViews(nullptr, trace::HINT_RECORD_SELECTED, 1);
    QCOMPARE(recorder.hints.size(), std::size_t{2});
    QVERIFY(recorder.hints.back() == std::make_pair(std::uint32_t{trace::HINT_TREE_NODE_SELECTED}, std::intptr_t{0}));
    // A top node carries the record index, others 0.
    tree.setCurrentItem(Find(tree, "Layer 2"));
    QVERIFY(recorder.hints.back() == std::make_pair(std::uint32_t{trace::HINT_TREE_NODE_SELECTED}, std::intptr_t{1}));
    tree.setCurrentItem(Find(tree, "Frame/Seq: 001"));
    QVERIFY(recorder.hints.back() == std::make_pair(std::uint32_t{trace::HINT_TREE_NODE_SELECTED}, std::intptr_t{0}));
    // The next record restores "Frame/Seq" and announces once.
    recorder.hints.clear();
    doc.UpdateAllViews(nullptr, trace::HINT_RECORD_SELECTED, 0);
    QCOMPARE(recorder.hints.size(), std::size_t{2});
    QCOMPARE(PathOf(tree.currentItem()), QStringLiteral("Frame/Seq: 001"));
}

void ViewsTest::HexScrollAreaFollowsTheDump() {
    MemoryDocument doc;
    doc.Log().AddRawRecord(DChannelRecord(1, Bytes(16 * 40 + 1, 0x41)));  // 41 lines
    doc.Log().AddRawRecord(DChannelRecord(2, kRR));
    views::CMarloTrcHexView hex(doc);
    hex.resize(200, 100);
    hex.show();
    QVERIFY(QTest::qWaitForWindowExposed(&hex));

    doc.UpdateAllViews(nullptr, trace::HINT_RECORD_SELECTED, 0);
    QCOMPARE(hex.DumpText().size(), std::size_t{41 * 75});
    QCOMPARE(hex.DumpText().substr(40 * 75, 8), std::string("0x0280  "));
    // The last line and the blank line below are reachable.
    QScrollBar* v = hex.verticalScrollBar();
    QCOMPARE(v->maximum() + hex.viewport()->height(), 42 * hex.LineHeight());
    QVERIFY(hex.horizontalScrollBar()->maximum() > 0);

    // A short frame fits: no scrolling left, and a negative index empties it.
    doc.UpdateAllViews(nullptr, trace::HINT_RECORD_SELECTED, 1);
    QCOMPARE(v->maximum(), 0);
    doc.UpdateAllViews(nullptr, trace::HINT_RECORD_SELECTED, -1);
    QCOMPARE(hex.DumpText(), std::string());
    QCOMPARE(hex.LineHeight(), QFontMetrics(views::CMarloTrcHexView::DumpFont()).height() - 1);
}

void ViewsTest::HexPaintsNothingWhileTheStoreIsEmpty() {
    MemoryDocument doc;
    doc.Log().AddRawRecord(DChannelRecord(1, Bytes(4, 0x00)));
    views::CMarloTrcHexView hex(doc);
    hex.resize(500, 60);
    auto darkPixels = [&hex] {
        const QImage image = hex.viewport()->grab().toImage();
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 96 ? 1 : 0;
        return dark;
    };
    doc.UpdateAllViews(nullptr, trace::HINT_RECORD_SELECTED, 0);
    QVERIFY(darkPixels() > 0);
    doc.Log().DeleteRecords();
    QCOMPARE(darkPixels(), 0);
}

void ViewsTest::SelectionIsBlackWhenTheListIsNotTheActivePane() {
    auto doc = std::make_shared<MemoryDocument>();
    doc->Log().AddRawRecord(DChannelRecord(1, kRR));
    QMdiArea area;
    area.resize(800, 600);
    auto* frame = new views::CTraceChildFrame(doc, trace::BuildDecodeTree, QSize(700, 500));
    area.addSubWindow(frame);
    area.show();
    QVERIFY(QTest::qWaitForWindowActive(&area));
    frame->show();

    const QColor highlight = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
    QCOMPARE(frame->ListView()->palette().color(QPalette::Highlight), highlight);
    frame->TreeView()->setFocus();
    QTRY_COMPARE(frame->ListView()->palette().color(QPalette::Highlight), QColor(Qt::black));
    QCOMPARE(frame->ListView()->palette().color(QPalette::Inactive, QPalette::Highlight), QColor(Qt::black));
    frame->ListView()->setFocus();
    QTRY_COMPARE(frame->ListView()->palette().color(QPalette::Highlight), highlight);
}

void ViewsTest::FrameSplitsItsHeightIntoThreePanes_data() {
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("wants");
    QTest::addColumn<QList<int>>("panes");
    // A list that wants no more than a third gets a third; one that wants
    // more gets it while the tree and hex keep a fifth each, and never less
    // than a third; the pixels always add up.
    QTest::newRow("thirds") << 619 << 150 << QList<int>{200, 200, 200};
    QTest::newRow("the list's rows") << 619 << 330 << QList<int>{330, 135, 135};
    QTest::newRow("capped by the others' fifths") << 519 << 400 << QList<int>{300, 100, 100};
    QTest::newRow("odd rest") << 620 << 330 << QList<int>{330, 135, 136};
}

void ViewsTest::FrameSplitsItsHeightIntoThreePanes() {
    QFETCH(int, height);
    QFETCH(int, wants);
    QFETCH(QList<int>, panes);
    const std::array<int, 3> got = views::CTraceChildFrame::PaneHeights(height, 19, wants);
    QCOMPARE((QList<int>{got[0], got[1], got[2]}), panes);
}

void ViewsTest::FrameOpensWithRoomForTheRecordsAndGoesBeforeItsDocument() {
    auto doc = std::make_shared<MemoryDocument>();
    QMdiArea area;
    area.resize(900, 800);
    auto* frame = new views::CTraceChildFrame(doc, trace::BuildDecodeTree, QSize(640, 600));
    area.addSubWindow(frame);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    // The list shows more than a screenful of a dialog's rows at once.
    QCOMPARE(frame->size(), QSize(640, 600));
    const int rows = frame->ListView()->viewport()->height() / frame->ListView()->verticalHeader()->defaultSectionSize();
    QVERIFY2(rows > 11, qPrintable(QString::number(rows)));
    const QList<int> sizes = frame->Splitter()->sizes();
    QVERIFY(sizes[1] > 100 && sizes[2] > 100);

    // The panes go before their document; the document lives on while a window holds it.
    std::weak_ptr<trace::CDocument> watch = doc;
    doc.reset();
    delete frame;
    QVERIFY(watch.expired());
}

Q_DECLARE_METATYPE(Bytes)

// A frame is TEI management only on SAPI 63 and TEI 127: the decoder's text,
// the octets its Message node points the hex pane at, the row colour, the
// display filter and the link checks all say so, or all say it is not.
void ViewsTest::EveryViewTellsTheSameOfAFrame_data() {
    QTest::addColumn<Bytes>("frame");
    QTest::addColumn<std::uint8_t>("flags");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("messageFirst");  // the octets the Message node covers
    QTest::addColumn<int>("messageCount");
    QTest::addColumn<int>("rowKind");
    QTest::addColumn<QString>("selects");  // a filter the frame passes
    QTest::addColumn<QString>("refuses");  // a filter it fails
    QTest::addColumn<bool>("teiRemoved");  // the link checks take it for a TEI removal
    using Kind = views::RecordListModel::RowKind;
    // Identity request octets behind a call-control address (SAPI 0, TEI 64).
    QTest::newRow("request on SAPI 0") << Bytes{0x00, 0x81, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF} << std::uint8_t{0}
                                      << QStringLiteral(" ****UNKNOWN PROTOCOL (0FH)\n") << 0 << 0
                                      << int(Kind::Damaged) << QStringLiteral("ftype == UI and sapi == 0")
                                      << QStringLiteral("ftype == ID_REQ or ftype contains \"ID_\"") << false;
    QTest::newRow("removal on SAPI 0") << Bytes{0x02, 0x81, 0x03, 0x0F, 0x12, 0x34, 0x06, 0x81} << std::uint8_t{1}
                                      << QStringLiteral(" ****UNKNOWN PROTOCOL (0FH)\n") << 0 << 0
                                      << int(Kind::Damaged) << QStringLiteral("ftype == UI")
                                      << QStringLiteral("ftype == ID_REM") << false;
    QTest::newRow("removal on TEI 64") << Bytes{0xFE, 0x81, 0x03, 0x0F, 0x12, 0x34, 0x06, 0x81} << std::uint8_t{1}
                                      << QStringLiteral(" ****UNKNOWN PROTOCOL (0FH)\n") << 0 << 0
                                      << int(Kind::Damaged) << QStringLiteral("ftype == UI and sapi == 63")
                                      << QStringLiteral("ftype == ID_REM") << false;
    QTest::newRow("removal") << Bytes{0xFE, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x06, 0x81} << std::uint8_t{1}
                             << QStringLiteral("ID_REM R:04660 A:064") << 4 << 4 << int(Kind::TeiManagement)
                             << QStringLiteral("ftype == ID_REM and ftype == UI") << QStringLiteral("ftype == ID_REQ")
                             << true;
    QTest::newRow("request") << Bytes{0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF} << std::uint8_t{0}
                             << QStringLiteral("ID_REQ R:04660 A:127") << 4 << 4 << int(Kind::TeiManagement)
                             << QStringLiteral("ftype matches \"^ID_REQ$\"") << QStringLiteral("q931")
                             << false;
}

void ViewsTest::EveryViewTellsTheSameOfAFrame() {
    QFETCH(Bytes, frame);
    QFETCH(std::uint8_t, flags);
    Bytes raw = DChannelRecord(1, frame);
    raw[17] = flags;
    MemoryDocument doc;
    doc.Log().AddRawRecord(raw);

    // The decoder's text, in the list and in the tree, and the octets the
    // tree's Message node (and so the hex pane's highlight) covers.
    QFETCH(QString, message);
    QCOMPARE(QString::fromStdString(trace::CellText(doc.Log(), 0, trace::Column::Message)), message);
    const std::vector<DecodeNode> tree = trace::BuildDecodeTree(doc.Log(), 0);
    const DecodeNode& messageNode = tree[1].children.back();
    QCOMPARE(QString::fromStdString(messageNode.label), QStringLiteral("Message: ") + message);
    QFETCH(int, messageFirst);
    QFETCH(int, messageCount);
    QCOMPARE(int(messageNode.octetCount), messageCount);
    if (messageCount != 0) QCOMPARE(int(messageNode.firstOctet), messageFirst);

    // The row colour.
    QFETCH(int, rowKind);
    QCOMPARE(int(views::RecordListModel::KindOf(doc.Log(), 0)), rowKind);

    // The display filter.
    QFETCH(QString, selects);
    QFETCH(QString, refuses);
    const auto passes = filter::DisplayFilter::Parse(selects.toStdString());
    const auto fails = filter::DisplayFilter::Parse(refuses.toStdString());
    QVERIFY(passes && fails);
    QVERIFY(passes->Matches(doc.Log(), 0));
    QVERIFY(!fails->Matches(doc.Log(), 0));

    // The link checks.
    QFETCH(bool, teiRemoved);
    analysis::Analyzer analyzer;
    analysis::FeedRecords(analyzer, doc.Log(), 0);
    analyzer.Finish();
    const auto removals = std::count_if(analyzer.Problems().begin(), analyzer.Problems().end(),
                                        [](const analysis::Problem& p) { return p.kind == analysis::ProblemKind::TeiRemoved; });
    QCOMPARE(removals, teiRemoved ? 1 : 0);
}

QTEST_MAIN(ViewsTest)
#include "ViewsTest.moc"
