#include "views/CallsWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <tuple>
#include <QTimer>
#include <QVBoxLayout>

#include "analysis/TraceFeed.h"
#include "trace/Document.h"
#include "trace/TraceLog.h"
#include "views/FilterBar.h"
#include "views/MarloTrcListView.h"
#include "views/TraceChildFrame.h"

namespace views {
namespace {

constexpr int kRefreshMs = 500;
constexpr int kRowHeight = 30;
constexpr int kTimeWidth = 90;
constexpr int kMargin = 40;
// The Calls window's opening size when its columns need less.
constexpr int kCallsWidth = 900;
constexpr int kCallsHeight = 640;

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

bool DocumentAnalysis::Behind() const {
    const trace::CTraceLog* log = m_document.GetTraceLog();
    return log != nullptr && log->GetRecordCount() != m_fed;
}

bool DocumentAnalysis::Update(int budget) {
    const trace::CTraceLog* log = m_document.GetTraceLog();
    if (log == nullptr) return false;
    if (log->TimesEmptied() != m_logEmptied) {  // the trace was restarted
        m_logEmptied = log->TimesEmptied();
        m_analyzer = analysis::Analyzer();
        m_names = analysis::RecordNames();
        m_fed = 0;
        ++m_generation;
    }
    if (log->GetRecordCount() == m_fed) return false;
    m_fed = analysis::FeedRecords(m_analyzer, *log, m_fed, budget);
    return true;
}

std::optional<analysis::FrameInput> DocumentAnalysis::Frame(std::uint32_t record) const {
    const trace::CTraceLog* log = m_document.GetTraceLog();
    if (log == nullptr) return std::nullopt;
    return analysis::FrameOfRecord(*log, record);
}

std::string DocumentAnalysis::RecordName(std::uint32_t record) {
    const trace::CTraceLog* log = m_document.GetTraceLog();
    return log == nullptr ? std::string() : m_names.Name(*log, record);
}

void SelectRecordInList(CTraceChildFrame& frame, int record) {
    CMarloTrcListView* list = frame.ListView();
    if (list == nullptr) return;
    // A display filter may hide the record: then there is no row to select.
    const int row = list->Model().RowOf(record);
    if (row < 0) return;
    list->setRowHidden(row, false);
    list->SelectRecord(record);
}

LadderWidget::LadderWidget(QWidget* parent) : QWidget(parent) {
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void LadderWidget::SetSteps(std::vector<analysis::LadderStep> steps) {
    m_steps = std::move(steps);
    m_selected = -1;
    updateGeometry();
    resize(sizeHint());
    update();
}

QSize LadderWidget::sizeHint() const {
    return {640, kRowHeight * (static_cast<int>(m_steps.size()) + 1) + kRowHeight / 2};
}

int LadderWidget::StepAt(QPoint point) const {
    const int index = point.y() / kRowHeight - 1;
    if (index < 0 || index >= static_cast<int>(m_steps.size())) return -1;
    return index;
}

void LadderWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int te = kTimeWidth + kMargin;
    const int nt = std::max(te + 200, width() - kMargin);
    const QColor ink = palette().color(QPalette::Text);
    const QColor grey(150, 150, 150);
    p.setPen(ink);
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(QRect(te - 40, 0, 80, kRowHeight), Qt::AlignCenter, QStringLiteral("TE"));
    p.drawText(QRect(nt - 40, 0, 80, kRowHeight), Qt::AlignCenter, QStringLiteral("NT"));
    p.setFont(font());
    const int bottom = kRowHeight * (static_cast<int>(m_steps.size()) + 1);
    p.drawLine(te, kRowHeight - 4, te, bottom);
    p.drawLine(nt, kRowHeight - 4, nt, bottom);
    for (int i = 0; i < static_cast<int>(m_steps.size()); ++i) {
        const analysis::LadderStep& s = m_steps[static_cast<std::size_t>(i)];
        const int y = kRowHeight * (i + 1) + kRowHeight - 8;
        if (i == m_selected) p.fillRect(QRect(0, y - kRowHeight + 8, width(), kRowHeight), palette().highlight().color().lighter(170));
        const QColor colour = s.layer2 ? grey : ink;
        p.setPen(colour);
        p.drawText(QRect(4, y - 18, kTimeWidth, 18), Qt::AlignLeft | Qt::AlignVCenter, Text(analysis::FormatTime(s.time)));
        const bool right = s.from == analysis::Side::TE;
        const int from = right ? te : nt;
        const int to = right ? nt : te;
        QPen pen(colour, s.layer2 ? 1 : 2);
        if (s.layer2) pen.setStyle(Qt::DashLine);
        p.setPen(pen);
        p.drawLine(from, y, to, y);
        const int head = right ? -8 : 8;
        p.setBrush(colour);
        p.drawPolygon(QPolygon({QPoint(to, y), QPoint(to + head, y - 4), QPoint(to + head, y + 4)}));
        p.setPen(colour);
        QString label = Text(s.label);
        if (!s.details.empty()) label += QStringLiteral("  ") + Text(s.details);
        label = p.fontMetrics().elidedText(label, Qt::ElideRight, nt - te - 16);
        p.drawText(QRect(te + 8, y - 20, nt - te - 16, 18), Qt::AlignCenter, label);
    }
}

void LadderWidget::mousePressEvent(QMouseEvent* event) {
    const int index = StepAt(event->position().toPoint());
    if (index < 0) return;
    m_selected = index;
    update();
    emit RecordClicked(static_cast<int>(m_steps[static_cast<std::size_t>(index)].record));
}

CCallsWindow::CCallsWindow(CTraceChildFrame& frame, std::shared_ptr<DocumentAnalysis> analysis, QWidget* parent)
    : QWidget(parent), m_frame(&frame), m_analysis(std::move(analysis)) {
    setWindowTitle(tr("Calls"));
    auto* layout = new QVBoxLayout(this);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    m_table = new QTableWidget(splitter);
    const auto columns = analysis::CallColumns();
    m_table->setColumnCount(static_cast<int>(columns.size()));
    QStringList headings;
    for (std::string_view c : columns) headings << QString::fromLatin1(c.data(), static_cast<qsizetype>(c.size()));
    m_table->setHorizontalHeaderLabels(headings);
    LookLikeTheRecordList(*m_table);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* lower = new QWidget(splitter);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    m_title = new QLabel(tr("Select a call to see its ladder."), lower);
    m_onlyThisCall = new QPushButton(tr("Only This Call's Records"), lower);
    m_onlyThisCall->setCheckable(true);
    m_onlyThisCall->setEnabled(false);
    m_onlyThisCall->setToolTip(tr("Show only this call's records in the record list"));
    bar->addWidget(m_title, 1);
    bar->addWidget(m_onlyThisCall);
    lowerLayout->addLayout(bar);
    auto* scroll = new QScrollArea(lower);
    m_ladder = new LadderWidget(scroll);
    scroll->setWidget(m_ladder);
    scroll->setWidgetResizable(true);
    lowerLayout->addWidget(scroll);
    splitter->addWidget(m_table);
    splitter->addWidget(lower);
    layout->addWidget(splitter);

    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row) { ShowCall(row); });
    connect(m_ladder, &LadderWidget::RecordClicked, this, [this](int record) { SelectRecord(record); });
    connect(m_onlyThisCall, &QPushButton::toggled, this, [this](bool only) { ShowOnlyCall(only); });
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CCallsWindow::Refresh);
    m_timer->start(kRefreshMs);
    Refresh();
    // It opens showing every column; where it is shown decides how much of
    // that it gets (a window in the main window stays within its area).
    resize(std::max(kCallsWidth, WidthForEveryColumn()), kCallsHeight);
}

int CCallsWindow::WidthForEveryColumn() const {
    const int scrollBar = m_table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_table);
    const QMargins margins = layout()->contentsMargins();
    return m_table->horizontalHeader()->length() + 2 * m_table->frameWidth() + scrollBar + margins.left() +
           margins.right();
}

void CCallsWindow::Refresh() {
    if (!m_frame) return;
    m_frame->UpdateAnalysis();
    const std::uint32_t seen = m_analysis->Analyzer().RecordsSeen();
    if (seen == m_seen && m_generation == m_analysis->Generation()) return;
    m_seen = seen;
    m_generation = m_analysis->Generation();
    const auto& calls = m_analysis->Analyzer().Calls();
    const int current = m_table->currentRow();
    m_table->setRowCount(static_cast<int>(calls.size()));
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto cells = analysis::CallCells(calls[i], i);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            auto* item = m_table->item(static_cast<int>(i), static_cast<int>(c));
            if (item == nullptr) {
                item = new QTableWidgetItem;
                m_table->setItem(static_cast<int>(i), static_cast<int>(c), item);
            }
            item->setText(Text(cells[c]));
        }
    }
    m_table->resizeColumnsToContents();
    if (current >= 0 && current < static_cast<int>(calls.size())) ShowCall(current);
}

void CCallsWindow::ShowCall(int row) {
    const auto& calls = m_analysis->Analyzer().Calls();
    if (row < 0 || row >= static_cast<int>(calls.size())) {
        m_ladder->SetSteps({});
        m_onlyThisCall->setEnabled(false);
        return;
    }
    const auto cells = analysis::CallCells(calls[static_cast<std::size_t>(row)], static_cast<std::size_t>(row));
    // Only what is known: no "?" stands in for a number the call never carried.
    QString what = Text(cells[analysis::kCallDirection]);
    if (const std::string parties = analysis::CallParties(cells[analysis::kCallCalling], cells[analysis::kCallCalled]);
        !parties.empty())
        what += QLatin1Char(' ') + Text(parties);
    m_title->setText(tr("Call %1: %2, %3").arg(Text(cells[analysis::kCallNumber]), what, Text(cells[analysis::kCallOutcome])));
    m_ladder->SetSteps(analysis::BuildLadder(m_analysis->Analyzer(), static_cast<std::size_t>(row),
                                             [this](std::uint32_t r) { return m_analysis->Frame(r); }));
    m_onlyThisCall->setEnabled(true);
    if (m_onlyThisCall->isChecked()) ShowOnlyCall(true);
}

void CCallsWindow::SelectRecord(int record) {
    if (m_frame) SelectRecordInList(*m_frame, record);
}

void CCallsWindow::ShowOnlyCall(bool only) {
    if (!m_frame || m_frame->Filter() == nullptr) return;
    FilterBar* bar = m_frame->Filter();
    const int row = m_table->currentRow();
    const auto& calls = m_analysis->Analyzer().Calls();
    if (only && row >= 0 && row < static_cast<int>(calls.size())) {
        // Through the display filter, so the filter bar says what is shown
        // and the expression can be narrowed further by hand.
        m_callFilter = QString::fromStdString(analysis::CallFilter(calls[static_cast<std::size_t>(row)]));
        bar->SetText(m_callFilter);
        bar->Apply();
        return;
    }
    // The filter this button set goes again; one the user has typed since stays.
    if (!m_callFilter.isEmpty() && bar->Text() == m_callFilter) bar->Clear();
    m_callFilter.clear();
}

ProblemsModel::ProblemsModel(std::shared_ptr<DocumentAnalysis> analysis, QObject* parent)
    : QAbstractTableModel(parent), m_analysis(std::move(analysis)) {}

int ProblemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ProblemsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

const analysis::Problem& ProblemsModel::ProblemAt(int row) const {
    return m_analysis->Analyzer().Problems()[m_rows[static_cast<std::size_t>(row)]];
}

namespace {


std::uint32_t FirstRecord(const analysis::Problem& p) { return p.records.empty() ? 0 : p.records.front(); }

}  // namespace

// Records are named as the record list and trctool check name them.
QString ProblemsModel::RecordName(std::uint32_t record) const { return Text(m_analysis->RecordName(record)); }

QString ProblemsModel::RelatedRecords(const analysis::Problem& p) const {
    QString related;
    for (std::size_t i = 1; i < p.records.size(); ++i) {
        if (!related.isEmpty()) related += QStringLiteral(", ");
        related += RecordName(p.records[i]);
    }
    return related;
}

QVariant ProblemsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const analysis::Problem& p = ProblemAt(index.row());
    if (role == Qt::DisplayRole || (role == Qt::ToolTipRole && index.column() >= kProblem)) {
        switch (index.column()) {
        case kRecord: return p.records.empty() ? QString() : RecordName(p.records.front());
        case kSeverity: return Text(std::string(analysis::SeverityName(p.severity)));
        case kProblem: return Text(p.text);
        case kRelated: return RelatedRecords(p);
        default: return {};
        }
    }
    if (role == Qt::DecorationRole && index.column() == kSeverity) {
        const QStyle::StandardPixmap icon = p.severity == analysis::Severity::Error     ? QStyle::SP_MessageBoxCritical
                                            : p.severity == analysis::Severity::Warning ? QStyle::SP_MessageBoxWarning
                                                                                        : QStyle::SP_MessageBoxInformation;
        return QApplication::style()->standardIcon(icon);
    }
    if (role == Qt::TextAlignmentRole && index.column() == kRecord)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    return {};
}

QVariant ProblemsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeadings[] = {QT_TR_NOOP("Record"), QT_TR_NOOP("Severity"), QT_TR_NOOP("Problem"),
                                            QT_TR_NOOP("Related records")};
    return section >= 0 && section < kColumnCount ? tr(kHeadings[section]) : QVariant();
}

bool ProblemsModel::Before(std::uint32_t a, std::uint32_t b) const {
    const auto& problems = m_analysis->Analyzer().Problems();
    const analysis::Problem& x = problems[a];
    const analysis::Problem& y = problems[b];
    // Each column's own order, then record order, then the order found.
    auto key = [this](const analysis::Problem& p) -> std::tuple<int, std::string_view, std::uint32_t> {
        switch (m_sortColumn) {
        case kSeverity: return {static_cast<int>(p.severity), {}, 0};
        case kProblem: return {0, p.text, 0};
        case kRelated: return {p.records.size() > 1 ? 0 : 1, {}, p.records.size() > 1 ? p.records[1] : 0};
        default: return {0, {}, 0};
        }
    };
    const auto kx = key(x);
    const auto ky = key(y);
    if (kx != ky) return m_sortOrder == Qt::AscendingOrder ? kx < ky : ky < kx;
    if (FirstRecord(x) != FirstRecord(y))
        return (m_sortOrder == Qt::AscendingOrder || m_sortColumn != kRecord) ? FirstRecord(x) < FirstRecord(y)
                                                                              : FirstRecord(y) < FirstRecord(x);
    return a < b;
}

void ProblemsModel::Reorder(const std::function<void()>& reorder) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    std::vector<std::uint32_t> problemOf;
    problemOf.reserve(static_cast<std::size_t>(persistent.size()));
    for (const QModelIndex& index : persistent) problemOf.push_back(m_rows[static_cast<std::size_t>(index.row())]);
    reorder();
    QModelIndexList moved;
    for (std::size_t i = 0; i < problemOf.size(); ++i) {
        const auto at = std::find(m_rows.begin(), m_rows.end(), problemOf[i]);
        moved.append(index(static_cast<int>(at - m_rows.begin()), persistent[static_cast<qsizetype>(i)].column()));
    }
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ProblemsModel::sort(int column, Qt::SortOrder order) {
    m_sortColumn = column;
    m_sortOrder = order;
    Reorder([this] {
        std::sort(m_rows.begin(), m_rows.end(), [this](std::uint32_t a, std::uint32_t b) { return Before(a, b); });
    });
}

void ProblemsModel::Update() {
    const auto& problems = m_analysis->Analyzer().Problems();
    if (m_generation != m_analysis->Generation()) {  // the trace started over
        beginResetModel();
        m_rows.clear();
        m_generation = m_analysis->Generation();
        endResetModel();
    }
    const std::size_t known = m_rows.size();
    if (problems.size() <= known) return;
    std::vector<std::uint32_t> added(problems.size() - known);
    for (std::size_t i = 0; i < added.size(); ++i) added[i] = static_cast<std::uint32_t>(known + i);
    auto before = [this](std::uint32_t a, std::uint32_t b) { return Before(a, b); };
    std::sort(added.begin(), added.end(), before);
    if (m_rows.empty() || !before(added.front(), m_rows.back())) {
        // The usual case: the new problems belong after the others.
        beginInsertRows({}, static_cast<int>(known), static_cast<int>(known + added.size() - 1));
        m_rows.insert(m_rows.end(), added.begin(), added.end());
        endInsertRows();
        return;
    }
    Reorder([&] {
        m_rows.insert(m_rows.end(), added.begin(), added.end());
        std::inplace_merge(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(known), m_rows.end(), before);
    });
}

QString ProblemsModel::WidestText(int column) const {
    const auto& problems = m_analysis->Analyzer().Problems();
    switch (column) {
    case kRecord: {
        QString widest;
        for (const analysis::Problem& p : problems) {
            if (p.records.empty()) continue;
            QString name = RecordName(p.records.front());
            if (name.size() > widest.size()) widest = std::move(name);
        }
        return widest;
    }
    case kSeverity: return Text(std::string(analysis::SeverityName(analysis::Severity::Warning)));
    case kProblem: {
        const analysis::Problem* longest = nullptr;
        for (const analysis::Problem& p : problems)
            if (longest == nullptr || p.text.size() > longest->text.size()) longest = &p;
        return longest != nullptr ? Text(longest->text) : QString();
    }
    default: return {};
    }
}

CProblemsWindow::CProblemsWindow(CTraceChildFrame& frame, std::shared_ptr<DocumentAnalysis> analysis, QWidget* parent)
    : QWidget(parent), m_frame(&frame), m_analysis(std::move(analysis)) {
    setWindowTitle(tr("Problems"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_model = new ProblemsModel(m_analysis, this);
    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->verticalHeader()->hide();
    // One line a row, all rows alike: nothing is measured row by row.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSortIndicator(ProblemsModel::kRecord, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_table);
    resize(820, 420);
    // A double click or Enter on a problem shows its record.
    connect(m_table, &QAbstractItemView::activated, this, &CProblemsWindow::Jump);
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CProblemsWindow::Refresh);
    m_timer->start(kRefreshMs);
    Refresh();
}

void CProblemsWindow::Jump(const QModelIndex& index) {
    if (!m_frame || !index.isValid()) return;
    const analysis::Problem& p = m_model->ProblemAt(index.row());
    if (!p.records.empty()) SelectRecordInList(*m_frame, static_cast<int>(p.records.front()));
}

void CProblemsWindow::Refresh() {
    if (!m_frame) return;
    m_frame->UpdateAnalysis();
    const std::uint32_t seen = m_analysis->Analyzer().RecordsSeen();
    if (seen == m_seen && m_model->rowCount() == static_cast<int>(m_analysis->Analyzer().Problems().size())) return;
    m_seen = seen;
    m_model->Update();
    FitColumns();
}

void CProblemsWindow::FitColumns() {
    // Each column as wide as its longest text (the record and severity
    // columns) or up to half the window (the problem); the last takes the rest.
    const QFontMetrics metrics = m_table->fontMetrics();
    const int padding = 2 * m_table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_table) + 12;
    QHeaderView* header = m_table->horizontalHeader();
    for (int column : {ProblemsModel::kRecord, ProblemsModel::kSeverity, ProblemsModel::kProblem}) {
        const QString heading = m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        int width = std::max(metrics.horizontalAdvance(m_model->WidestText(column)),
                             metrics.horizontalAdvance(heading) + 16);
        if (column == ProblemsModel::kSeverity)
            width += m_table->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, m_table) + 8;
        if (column == ProblemsModel::kProblem) width = std::min(width, std::max(200, m_table->width() / 2));
        header->resizeSection(column, width + padding);
    }
}

}  // namespace views
