#pragma once
// CMarloTrcListView: the top pane of a trace window, one row per record of
// the document, in record order. It follows the document's hints, announces
// a newly selected row to the other panes (HINT_RECORD_SELECTED) and, for an
// adapter document, is the record target of the live reader. Owned by its
// CTraceChildFrame; user-interface thread only.

#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>
#include <vector>

#include "trace/Document.h"
#include "trace/TraceReader.h"
#include "views/RecordListModel.h"

namespace views {

// Draws a cell's text up to its first line feed: the rows have one fixed
// height, and a message that ends in a line feed is one line of text.
class FirstLineDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override;

protected:
    // Centred cells are centred on their text, without the blanks that pad it.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// The record list's look, for every table of the program's windows: the
// 11-pixel font in the cells and the headings, headings centred, one line
// of one fixed height a row, no grid.
void LookLikeTheRecordList(QTableView& table);

class CMarloTrcListView final : public QTableView, public trace::CView, public trace::RecordTarget {
    Q_OBJECT
public:
    explicit CMarloTrcListView(trace::CDocument& document, QWidget* parent = nullptr);
    ~CMarloTrcListView() override;
    CMarloTrcListView(const CMarloTrcListView&) = delete;
    CMarloTrcListView& operator=(const CMarloTrcListView&) = delete;

    trace::CDocument& GetDocument() const { return m_document; }

    // trace::CView. Appends are shown at the next turn of the event loop, so
    // a burst of live records becomes one row insertion and one scroll.
    void OnUpdate(trace::CView* sender, std::uint32_t hint, std::intptr_t object) override;
    trace::RecordTarget* GetRecordTarget() override { return this; }

    // Selection colours: the highlight colour while this pane is the active
    // view of its frame, black otherwise.
    void SetActivePane(bool active);

    // trace::RecordTarget, called on the reader thread: queues the record's
    // handling onto this view's thread and returns at once.
    void PostTraceRecord(trace::TraceReaderParams* params) override;
    // What handles a delivered record on the user-interface thread: the
    // adapter document's OnTraceRecord, which acknowledges it. Only called
    // while the document still has its CTraceLog.
    using TraceRecordHandler = std::function<void(trace::TraceReaderParams&)>;
    void SetTraceRecordHandler(TraceRecordHandler handler) { m_recordHandler = std::move(handler); }

    // Shows the rows of appended records now instead of at the next turn of
    // the event loop.
    void FlushAppends();

    // Typing selects the next row whose sequence number, in plain decimal
    // without leading zeros, starts with the keys typed in quick succession.
    void keyboardSearch(const QString& search) override;

    RecordListModel& Model() { return m_model; }
    // The record of the selected row, or -1.
    int SelectedRecord() const;
    // Selects the row of a record (when it is shown) and brings it into view.
    void SelectRecord(int record);
    // The records of the rows shown, in order: what a filter and the Calls
    // window's "only this call" leave in view.
    std::vector<int> ShownRecords() const;

    // Shows only the records the expression lets through (blank: all).
    // Returns false, changing nothing, when it does not parse or the user
    // cancelled the pass; a pass longer than half a second shows its
    // progress with Cancel. The record being viewed stays selected while
    // shown; while hidden the tree and hex panes show nothing.
    bool ApplyFilter(const QString& expression, QString* error = nullptr);

    // Selects the next (forward) or previous shown record after the selected
    // one that `what` finds, wrapping at the ends (with a status note).
    // `what` is a display filter when it parses, octets when it is hex pairs
    // ("08 01" or "08:01"), and otherwise text looked for in the cells and
    // the decode tree, ignoring case. False when no record matches.
    bool Find(const QString& what, bool forward);
    // How long a search goes before its progress and Cancel show (tests
    // show them at once).
    void SetFindProgressDelay(int milliseconds) { m_findProgressDelay = milliseconds; }

    // While on (the default), the newest record is scrolled into view as
    // records arrive; off, the list keeps its selection and view.
    bool AutoScroll() const { return m_autoScroll; }
    void SetAutoScroll(bool on);

signals:
    // A short note for the status bar.
    void StatusNote(const QString& text);
    // The rows shown or the records known changed.
    void CountsChanged(int shown, int total, bool filtered);
    void AutoScrollChanged(bool on);
    // A step of the document's load brought records (HINT_RECORDS_LOADED).
    void RecordsLoaded();

protected:
    // Home and End (also with Ctrl) go to the first and the last record;
    // End turns auto-scroll on again.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void EmitCounts();
    void ScrollToRow(int row);
    void OnSelectionChanged(const QItemSelection& selected);

    void HandleTraceRecord(trace::TraceReaderParams* params);

    trace::CDocument& m_document;
    TraceRecordHandler m_recordHandler;
    RecordListModel m_model;
    FirstLineDelegate m_delegate;
    QString m_typed;          // keys of the current keyboard search
    qint64 m_lastKeyMs = -1;  // when the last of them came
    int m_pendingRows = 0;  // records announced by HINT_RECORD_ADDED, not yet looked at
    bool m_flushQueued = false;
    int m_findProgressDelay = 500;  // milliseconds
    bool m_autoScroll = true;
    int m_viewed = -1;  // the record last chosen, shown in the tree and hex panes while the list shows it
    // Last, so it is the last of this view to go.
    trace::ViewRegistration m_registration{m_document, *this};
};

}  // namespace views
