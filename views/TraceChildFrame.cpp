#include "views/TraceChildFrame.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QCloseEvent>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "trace/RecordPrinter.h"
#include "trace/RecordCells.h"
#include "trace/TraceLog.h"

#include "views/FilterBar.h"
#include "views/MarloTrcHexView.h"
#include "views/CallsWindow.h"
#include "views/MarloTrcListView.h"
#include "views/RecordListModel.h"

namespace views {

std::array<int, 3> CTraceChildFrame::PaneHeights(int frameHeight, int captionHeight, int listWants) {
    const int inside = std::max(3, frameHeight - captionHeight);
    const int third = inside / 3;
    const int list = std::clamp(listWants, third, std::max(third, inside - 2 * (inside / 5)));
    const int rest = inside - list;
    return {list, rest / 2, rest - rest / 2};
}

CTraceChildFrame::CTraceChildFrame(std::shared_ptr<trace::CDocument> document, const TreeBuilder& builder,
                                   QSize size, QWidget* parent)
    : QMdiSubWindow(parent), m_document(std::move(document)) {
    BuildPanes(builder, size);
    ConnectPanes();
    m_list->OnUpdate(nullptr, trace::HINT_INITIAL_UPDATE, 0);
    StartAnalysis();
}

// The list (under its filter bar), the decode tree and the hex pane, one
// above the other in equal parts of the frame.
void CTraceChildFrame::BuildPanes(const TreeBuilder& builder, QSize size) {
    m_splitter = std::make_unique<QSplitter>(Qt::Vertical);
    m_splitter->setChildrenCollapsible(false);
    // The filter bar sits on top of the list, inside the list's pane.
    auto* listPane = new QWidget(m_splitter.get());
    auto* listLayout = new QVBoxLayout(listPane);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    m_filterBar = new FilterBar(listPane);
    m_list = new CMarloTrcListView(*m_document, listPane);
    listLayout->addWidget(m_filterBar);
    listLayout->addWidget(m_list, 1);
    m_tree = new CMarloTrcTreeView(*m_document, builder, m_splitter.get());
    m_hex = new CMarloTrcHexView(*m_document, m_splitter.get());
    setWidget(m_splitter.get());
    setWindowTitle(QString::fromStdString(m_document->GetTitle()));
    setWindowIcon(QApplication::windowIcon());

    resize(size);
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const int listWants = m_filterBar->sizeHint().height() + m_list->horizontalHeader()->sizeHint().height() +
                          kRowsOnOpening * m_list->verticalHeader()->defaultSectionSize() + 2 * m_list->frameWidth() +
                          m_list->horizontalScrollBar()->sizeHint().height();
    const std::array<int, 3> panes = PaneHeights(size.height(), caption, listWants);
    m_splitter->setSizes({panes[0], panes[1], panes[2]});

    // The list is the frame's active view until another pane takes the focus.
    m_activePane = m_list;
    m_list->SetActivePane(true);
}

// The panes follow each other's selection, the filter bar filters the list,
// and their notes go to the status bar.
void CTraceChildFrame::ConnectPanes() {
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CTraceChildFrame::CopySourceChanged);
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &CTraceChildFrame::CopySourceChanged);

    connect(m_filterBar, &FilterBar::Applied, this, [this](const QString& text) {
        QString error;
        if (m_list->ApplyFilter(text, &error)) {
            m_filterBar->Confirm(text);
        } else {
            m_filterBar->Revert();
            emit StatusNote(error);
        }
    });
    connect(m_filterBar, &FilterBar::Refused, this, &CTraceChildFrame::StatusNote);
    connect(m_list, &CMarloTrcListView::CountsChanged, this, [this](int shown, int total, bool filtered) {
        m_filterBar->SetCounts(shown, total, filtered);
        if (filtered) emit StatusNote(m_filterBar->CountText());
    });
    connect(m_list, &CMarloTrcListView::StatusNote, this, &CTraceChildFrame::StatusNote);
    // A log read in steps is analysed once its last step is read (reading
    // is the quicker part, so every record is in the list soonest).
    connect(m_list, &CMarloTrcListView::RecordsLoaded, this, [this] {
        if (!LogLoading()) CatchUpAnalysisLater();
    });
    connect(m_tree, &CMarloTrcTreeView::OctetsSelected, m_hex, &CMarloTrcHexView::SetHighlight);
    connect(m_hex, &CMarloTrcHexView::OctetClicked, m_tree, &CMarloTrcTreeView::SelectOctet);
}

// The problems' marks in the list come from the document's analysis, which
// catches up with the records read every half second.
void CTraceChildFrame::StartAnalysis() {
    m_analysis = std::make_shared<DocumentAnalysis>(*m_document);
    if (auto* model = qobject_cast<RecordListModel*>(m_list->model())) {
        model->SetMarkProvider([analysis = m_analysis.get()](int row) {
            const auto severity = analysis->Analyzer().RecordSeverity(static_cast<std::uint32_t>(row));
            return severity ? static_cast<int>(*severity) : -1;
        });
    }
    m_analysisTimer = new QTimer(this);
    connect(m_analysisTimer, &QTimer::timeout, this, [this] { CatchUpAnalysis(); });
    m_analysisTimer->start(500);
    CatchUpAnalysisLater();
}

bool CTraceChildFrame::UpdateAnalysis() {
    if (!m_analysis->Update()) return false;
    m_list->viewport()->update();
    emit AnalysisUpdated(this);
    return true;
}

bool CTraceChildFrame::LogLoading() const {
    const trace::CTraceLog* log = m_document->GetTraceLog();
    return log != nullptr && log->IsLoading();
}

bool CTraceChildFrame::AnalysisBehind() const { return m_analysis->Behind() || LogLoading(); }

void CTraceChildFrame::CatchUpAnalysisLater() {
    if (m_catchUpQueued) return;
    m_catchUpQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_catchUpQueued = false;
        CatchUpAnalysis();
    });
}

void CTraceChildFrame::CatchUpAnalysis() {
    // A slice at a time between events, so that a freshly opened large log
    // shows its first screen and stays responsive while its calls and
    // problems are worked out; whoever needs all of them at once (the calls
    // window) asks UpdateAnalysis.
    constexpr int kAnalysisSlice = 20000;
    if (!m_analysis->Update(kAnalysisSlice)) return;
    m_list->viewport()->update();
    emit AnalysisUpdated(this);
    // The status bar follows a long analysis once the records are loaded
    // (until then it shows the load's progress).
    const trace::CTraceLog* log = m_document->GetTraceLog();
    const bool loading = LogLoading();
    const int records = log != nullptr ? log->GetRecordCount() : 0;
    if (m_analysis->Behind()) {
        m_analysingInSlices = true;
        if (!loading && records > 0) {
            const auto seen = static_cast<double>(m_analysis->Analyzer().RecordsSeen());
            emit StatusNote(tr("Analysing calls and problems… %1%").arg(static_cast<int>(seen * 100.0 / records)));
        }
        CatchUpAnalysisLater();
    } else if (m_analysingInSlices && !loading) {
        m_analysingInSlices = false;
        emit StatusNote(tr("Calls and problems of all %1 records are worked out.").arg(records));
    }
}

CTraceChildFrame::~CTraceChildFrame() {
    // Focus moves while the panes and the frame go away; the frame no longer
    // follows it, since its panes are being destroyed.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    // Nor does it tell of selections its panes lose as they go.
    disconnect(m_list->selectionModel(), nullptr, this, nullptr);
    disconnect(m_tree, nullptr, this, nullptr);
}

void CTraceChildFrame::OnFocusChanged(QWidget* now) {
    for (QWidget* pane : {static_cast<QWidget*>(m_list), static_cast<QWidget*>(m_tree), static_cast<QWidget*>(m_hex)}) {
        if (now != nullptr && (now == pane || pane->isAncestorOf(now))) {
            if (m_activePane == pane) return;
            m_activePane = pane;
            m_list->SetActivePane(pane == m_list);
            emit CopySourceChanged();
            return;
        }
    }
}

QString CTraceChildFrame::CopyText() const {
    if (m_activePane == m_tree) {
        const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
        if (selected.isEmpty()) return {};
        QStringList lines;
        // Two blanks per level below the copied node.
        const std::function<void(const QTreeWidgetItem*, int)> add = [&](const QTreeWidgetItem* item, int depth) {
            lines.append(QString(2 * depth, QLatin1Char(' ')) + item->text(0));
            for (int i = 0; i < item->childCount(); ++i) add(item->child(i), depth + 1);
        };
        add(selected.constFirst(), 0);
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    if (m_activePane == m_hex) return m_hex->SelectedHex();
    const trace::CTraceLog* log = m_document->GetTraceLog();
    const int record = m_list->SelectedRecord();
    if (log == nullptr || record < 0) return {};
    return QString::fromStdString(trace::FormatRecordLine(*log, record)) + QLatin1Char('\n');
}

void CTraceChildFrame::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit CloseRequested(this);
}

}  // namespace views
