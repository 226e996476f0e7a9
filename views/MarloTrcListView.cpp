#include "views/MarloTrcListView.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QStyle>
#include <QRegularExpression>
#include <functional>
#include <limits>
#include <QTimer>

#include "trace/DecodeTree.h"
#include "views/RecordFinder.h"
#include "trace/RecordCells.h"
#include "trace/TraceLog.h"

namespace views {

QString FirstLineDelegate::displayText(const QVariant& value, const QLocale& /*locale*/) const {
    QString text = value.toString();
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    if (lineEnd >= 0) text.truncate(lineEnd);
    return text;
}

void FirstLineDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    // The whole row is the selection: no focus frame around one of its cells.
    option->state &= ~QStyle::State_HasFocus;
    if ((option->displayAlignment & Qt::AlignHCenter) != 0) option->text = option->text.trimmed();
}

void LookLikeTheRecordList(QTableView& table) {
    table.setShowGrid(false);
    table.setWordWrap(false);
    table.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The column widths are pixel counts made for an 11-pixel dialog font;
    // the same size here lets every cell text fit its column.
    QFont small = table.font();
    small.setPixelSize(11);
    table.setFont(small);
    table.horizontalHeader()->setFont(small);

    // Rows of one fixed height: the view never measures a row, so a million
    // records scroll as fast as ten.
    QHeaderView* rows = table.verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(table.fontMetrics().height() + 2);

    QHeaderView* columns = table.horizontalHeader();
    columns->setHighlightSections(false);
    columns->setDefaultAlignment(Qt::AlignCenter);
    columns->setMinimumSectionSize(8);
}

CMarloTrcListView::CMarloTrcListView(trace::CDocument& document, QWidget* parent)
    : QTableView(parent), m_document(document), m_model(document) {
    setModel(&m_model);
    setItemDelegate(&m_delegate);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setTabKeyNavigation(false);
    LookLikeTheRecordList(*this);
    QHeaderView* columns = horizontalHeader();
    columns->setSectionsClickable(false);
    for (int c = 0; c < trace::kColumnCount; ++c)
        setColumnWidth(c, trace::kColumns[static_cast<std::size_t>(c)].width);
    // A row's problem icon has room of its own beside its Seq #.
    setColumnWidth(0, trace::kColumns[0].width + style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this) + 4);
    // The Message column, the last, reaches the window's right edge.
    columns->setStretchLastSection(true);

    SetActivePane(false);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) { OnSelectionChanged(selected); });
}

CMarloTrcListView::~CMarloTrcListView() {
    // The reader thread must never hand a record to a view that is gone:
    // when this view is its target (a second window on the document stays
    // open), the capture ends with its window.
    trace::CDocument* document = m_registration.Document();
    if (trace::CTraceLog* log = document != nullptr ? document->GetTraceLog() : nullptr;
        log != nullptr && log->GetTarget() == this) {
        log->StopReader();
        log->SetTarget(nullptr);
    }
}

void CMarloTrcListView::OnUpdate(trace::CView* /*sender*/, std::uint32_t hint, std::intptr_t object) {
    if (hint == trace::HINT_INITIAL_UPDATE || (hint & trace::HINT_TRACE_RESTARTED) != 0) {
        m_pendingRows = 0;
        m_viewed = -1;
        m_model.ResetToStore();
        ScrollToRow(0);
        EmitCounts();
        // A new capture follows its newest record until a row is chosen.
        if (hint != trace::HINT_INITIAL_UPDATE) SetAutoScroll(true);
        return;
    }
    if ((hint & trace::HINT_RECORD_ADDED) != 0) {
        const trace::CTraceLog* log = m_document.GetTraceLog();
        // The index names a record that is in the store; anything else would
        // show rows that have nothing behind them.
        if (log == nullptr || object < 0 || object >= log->GetRecordCount()) return;
        m_pendingRows = std::max(m_pendingRows, static_cast<int>(object) + 1);
        if (!m_flushQueued) {
            m_flushQueued = true;
            QTimer::singleShot(0, this, [this] { FlushAppends(); });
        }
    }
    if ((hint & trace::HINT_RECORDS_LOADED) != 0) {
        // A log read in steps: its rows grow where they are, and the list
        // stays where the reader looks.
        const trace::CTraceLog* log = m_document.GetTraceLog();
        if (log == nullptr) return;
        m_model.GrowTo(static_cast<int>(std::min<std::intptr_t>(object, log->GetRecordCount())));
        EmitCounts();
        emit RecordsLoaded();
        return;
    }
    // HINT_RECORD_SELECTED from a second window's list, and the tree's 0x80,
    // change nothing here.
}

void CMarloTrcListView::PostTraceRecord(trace::TraceReaderParams* params) {
    // Reader thread: only the queued call crosses over. If the view is gone
    // before the call runs, it is dropped; the closing document releases the
    // reader through its ack and stop events.
    QMetaObject::invokeMethod(this, [this, params] { HandleTraceRecord(params); }, Qt::QueuedConnection);
}

void CMarloTrcListView::HandleTraceRecord(trace::TraceReaderParams* params) {
    if (params == nullptr || m_document.GetTraceLog() == nullptr || !m_recordHandler) return;
    m_recordHandler(*params);
}

void CMarloTrcListView::FlushAppends() {
    m_flushQueued = false;
    if (m_pendingRows <= m_model.RecordCount()) return;
    const int rowsBefore = m_model.rowCount();
    m_model.GrowTo(m_pendingRows);
    EmitCounts();
    if (m_model.rowCount() == rowsBefore || !m_autoScroll) return;
    // The scroll range must know the new rows before the newest can be shown.
    updateGeometries();
    ScrollToRow(m_model.rowCount() - 1);
}

int CMarloTrcListView::SelectedRecord() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : m_model.RecordAt(rows.constFirst().row());
}

std::vector<int> CMarloTrcListView::ShownRecords() const {
    std::vector<int> records;
    const int rows = m_model.rowCount();
    records.reserve(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row)
        if (!isRowHidden(row)) records.push_back(m_model.RecordAt(row));
    return records;
}

void CMarloTrcListView::SelectRecord(int record) {
    const int row = m_model.RowOf(record);
    if (row < 0) return;
    selectRow(row);
    ScrollToRow(row);
}

bool CMarloTrcListView::ApplyFilter(const QString& expression, QString* error) {
    filter::FilterError problem;
    auto parsed = filter::DisplayFilter::Parse(expression.toStdString(), &problem);
    if (!parsed) {
        if (error != nullptr) *error = QString::fromStdString(problem.Text());
        return false;
    }
    QProgressDialog progress(tr("Applying the display filter..."), tr("Cancel"), 0, std::max(1, m_model.RecordCount()),
                             this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(m_findProgressDelay);
    const bool done = m_model.SetFilter(std::move(parsed), [&progress](int doneRecords, int) {
        progress.setValue(doneRecords);
        return !progress.wasCanceled();
    });
    progress.reset();
    if (!done) {
        if (error != nullptr) *error = tr("Cancelled: the list shows what it showed before.");
        return false;
    }
    EmitCounts();
    // The tree and hex panes show the record being viewed while the list
    // shows it, and nothing while the filter hides it; a later filter that
    // shows it again returns to it.
    if (m_viewed >= 0 && m_model.RowOf(m_viewed) >= 0) {
        SelectRecord(m_viewed);
    } else if (m_viewed >= 0) {
        clearSelection();
        m_document.UpdateAllViews(this, trace::HINT_RECORD_SELECTED, -1);
    }
    return true;
}

bool CMarloTrcListView::Find(const QString& what, bool forward) {
    const trace::CTraceLog* log = m_document.GetTraceLog();
    const int rows = m_model.rowCount();
    if (log == nullptr || rows == 0 || what.trimmed().isEmpty()) return false;
    const RecordFinder finder(*log, what);
    // In slices between looks at Cancel: a search longer than the delay
    // shows its progress, and from then on lets events through after each
    // slice, so Cancel can be pressed (the dialog keeps other input out).
    QProgressDialog progress(tr("Finding \"%1\"...").arg(what), tr("Cancel"), 0, rows, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(std::numeric_limits<int>::max());  // shown here, not by its own timer
    QElapsedTimer searching;
    searching.start();
    constexpr int kSlice = 4096;
    const int current = currentIndex().isValid() ? currentIndex().row() : (forward ? -1 : rows);
    for (int k = 1; k <= rows; ++k) {
        if (k % kSlice == 0) {
            progress.setValue(k);
            if (!progress.isVisible() && searching.elapsed() >= m_findProgressDelay) progress.show();
            if (progress.isVisible()) QCoreApplication::processEvents();
            if (progress.wasCanceled()) {
                emit StatusNote(tr("Find cancelled: the selection is where it was."));
                return false;
            }
            // A trace started afresh meanwhile took the rows searched away.
            if (m_model.rowCount() < rows) {
                emit StatusNote(tr("Find stopped: the list was emptied for a new trace."));
                return false;
            }
        }
        const int row = ((current + (forward ? k : -k)) % rows + rows) % rows;
        if (!finder.Matches(m_model.RecordAt(row))) continue;
        progress.reset();
        const bool wrapped = forward ? row <= current : row >= current;
        selectRow(row);
        ScrollToRow(row);
        if (wrapped)
            emit StatusNote(forward ? tr("Find went past the last record and went on from the first.")
                                    : tr("Find went past the first record and went on from the last."));
        return true;
    }
    progress.reset();
    emit StatusNote(tr("Not found: %1").arg(what));
    return false;
}

void CMarloTrcListView::SetAutoScroll(bool on) {
    if (m_autoScroll == on) return;
    m_autoScroll = on;
    if (on && m_model.rowCount() > 0) ScrollToRow(m_model.rowCount() - 1);
    emit AutoScrollChanged(on);
}

void CMarloTrcListView::EmitCounts() {
    emit CountsChanged(m_model.rowCount(), m_model.RecordCount(), m_model.IsFiltered());
}

void CMarloTrcListView::keyPressEvent(QKeyEvent* event) {
    const int rows = m_model.rowCount();
    if ((event->key() == Qt::Key_Home || event->key() == Qt::Key_End) && rows > 0) {
        const bool end = event->key() == Qt::Key_End;
        selectRow(end ? rows - 1 : 0);
        ScrollToRow(end ? rows - 1 : 0);
        if (end && !m_autoScroll) {
            SetAutoScroll(true);
            emit StatusNote(tr("Auto Scroll is on: the newest record stays in view."));
        }
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CMarloTrcListView::keyboardSearch(const QString& search) {
    const trace::CTraceLog* log = m_document.GetTraceLog();
    const int rows = m_model.rowCount();
    if (log == nullptr || rows == 0 || search.isEmpty()) return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const bool continues = m_lastKeyMs >= 0 && now - m_lastKeyMs < QApplication::keyboardInputInterval();
    m_lastKeyMs = now;
    m_typed = continues ? m_typed + search : search;
    // A new search starts after the current row; a longer one may keep it.
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    const int first = continues && current >= 0 ? current : current + 1;
    const std::string wanted = m_typed.toStdString();
    for (int k = 0; k < rows; ++k) {
        const int row = (first + k) % rows;
        if (std::to_string(log->GetSequence(m_model.RecordAt(row))).starts_with(wanted)) {
            selectRow(row);
            ScrollToRow(row);
            return;
        }
    }
}

void CMarloTrcListView::ScrollToRow(int row) {
    if (row < 0 || row >= m_model.rowCount()) return;
    scrollTo(m_model.index(row, 0), QAbstractItemView::EnsureVisible);
}

void CMarloTrcListView::SetActivePane(bool active) {
    QPalette colours = palette();
    const QPalette system = QApplication::palette(this);
    const QColor background = active ? system.color(QPalette::Active, QPalette::Highlight) : QColor(Qt::black);
    const QColor text = system.color(QPalette::Active, QPalette::HighlightedText);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::Highlight, background);
        colours.setColor(group, QPalette::HighlightedText, text);
    }
    setPalette(colours);
}

void CMarloTrcListView::OnSelectionChanged(const QItemSelection& selected) {
    // Losing the selection says nothing; only a newly selected row counts.
    if (selected.isEmpty()) return;
    const int row = selected.indexes().constFirst().row();
    // Choosing a row above the newest while records arrive means looking at
    // it: the list stops following the newest record.
    const trace::CTraceLog* log = m_document.GetTraceLog();
    if (m_autoScroll && log != nullptr && log->IsRunning() != 0 && row < m_model.rowCount() - 1) {
        SetAutoScroll(false);
        emit StatusNote(tr("Auto Scroll is off while you look at a record; End turns it on again."));
    }
    m_viewed = m_model.RecordAt(row);
    m_document.UpdateAllViews(this, trace::HINT_RECORD_SELECTED, m_viewed);
}

}  // namespace views
