#include "views/MarloTrcTreeView.h"

#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>

#include "trace/TraceLog.h"

namespace views {
namespace {

constexpr int kItemDataRole = Qt::UserRole;
constexpr int kFirstOctetRole = Qt::UserRole + 1;
constexpr int kOctetCountRole = Qt::UserRole + 2;

QTreeWidgetItem* MakeItem(const trace::DecodeNode& node) {
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(node.label)});
    item->setData(0, kItemDataRole, node.itemData);
    item->setData(0, kFirstOctetRole, static_cast<int>(node.firstOctet));
    item->setData(0, kOctetCountRole, static_cast<int>(node.octetCount));
    for (const trace::DecodeNode& child : node.children) item->addChild(MakeItem(child));
    return item;
}

// Depth-first pre-order: a node, its children, then its next sibling.
template <typename Visit>
void ForEachPreOrder(QTreeWidgetItem* item, Visit& visit) {
    visit(item);
    for (int i = 0; i < item->childCount(); ++i) ForEachPreOrder(item->child(i), visit);
}

template <typename Visit>
void ForEachPreOrder(QTreeWidget& tree, Visit visit) {
    for (int i = 0; i < tree.topLevelItemCount(); ++i) ForEachPreOrder(tree.topLevelItem(i), visit);
}

// The application's style, with dotted lines joining each node to its parent
// and its siblings below the branch indicators, whatever the style draws.
class BranchLineStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorBranch) {
            painter->save();
            QPen pen(option->palette.color(QPalette::Dark));
            pen.setStyle(Qt::DotLine);
            painter->setPen(pen);
            const QRect r = option->rect;
            const int x = r.left() + r.width() / 2;
            const int y = r.top() + r.height() / 2;
            // State_Item: the node's own column; State_Sibling: a node below
            // at this level, so the line goes on down.
            if ((option->state & State_Sibling) != 0)
                painter->drawLine(x, r.top(), x, r.bottom());
            else if ((option->state & State_Item) != 0)
                painter->drawLine(x, r.top(), x, y);
            if ((option->state & State_Item) != 0) painter->drawLine(x, y, r.right(), y);
            painter->restore();
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

}  // namespace

CMarloTrcTreeView::CMarloTrcTreeView(trace::CDocument& document, TreeBuilder builder, QWidget* parent)
    : QTreeWidget(parent), m_document(document), m_builder(std::move(builder)) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    auto* lines = new BranchLineStyle;
    lines->setParent(this);  // the widget does not own its style
    setStyle(lines);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::currentItemChanged, this, [this] {
        if (!m_rebuilding) AnnounceSelection();
    });
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = selectedItems();
        const auto [first, count] = OctetsOf(selected.isEmpty() ? nullptr : selected.constFirst());
        emit OctetsSelected(first, count);
    });
}

CMarloTrcTreeView::~CMarloTrcTreeView() = default;

std::pair<int, int> CMarloTrcTreeView::OctetsOf(const QTreeWidgetItem* item) {
    if (item == nullptr) return {0, 0};
    return {item->data(0, kFirstOctetRole).toInt(), item->data(0, kOctetCountRole).toInt()};
}

void CMarloTrcTreeView::SelectOctet(int octet) {
    QTreeWidgetItem* best = nullptr;
    int bestDepth = 0;
    int bestCount = 0;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        // Depth-first with the depth alongside.
        std::vector<std::pair<QTreeWidgetItem*, int>> stack{{topLevelItem(i), 1}};
        while (!stack.empty()) {
            const auto [item, depth] = stack.back();
            stack.pop_back();
            const auto [first, count] = OctetsOf(item);
            if (count > 0 && octet >= first && octet < first + count &&
                (depth > bestDepth || (depth == bestDepth && count < bestCount))) {
                best = item;
                bestDepth = depth;
                bestCount = count;
            }
            for (int c = item->childCount() - 1; c >= 0; --c) stack.emplace_back(item->child(c), depth + 1);
        }
    }
    if (best == nullptr) return;
    setCurrentItem(best);
    scrollToItem(best);
}

std::string CMarloTrcTreeView::StateKey(const std::string& label) { return label.substr(0, label.find(':')); }

void CMarloTrcTreeView::OnUpdate(trace::CView* /*sender*/, std::uint32_t hint, std::intptr_t object) {
    // Only a selection rebuilds; the tree keeps its record when the list is cleared.
    if (hint != trace::HINT_RECORD_SELECTED) return;
    Rebuild(static_cast<int>(object));
}

void CMarloTrcTreeView::SetTreeBuilder(TreeBuilder builder) {
    m_builder = std::move(builder);
    if (m_shown >= 0) Rebuild(m_shown);
}

void CMarloTrcTreeView::Rebuild(int index) {
    m_shown = index;
    m_rebuilding = true;
    SaveStates();
    clear();
    const trace::CTraceLog* log = m_document.GetTraceLog();
    if (log != nullptr && m_builder && index >= 0) {  // -1: no record is shown
        QList<QTreeWidgetItem*> top;
        for (const trace::DecodeNode& node : m_builder(*log, index)) top.append(MakeItem(node));
        addTopLevelItems(top);
    }
    RestoreStates();
    m_rebuilding = false;
    AnnounceSelection();
    const QList<QTreeWidgetItem*> selected = selectedItems();
    const auto [first, count] = OctetsOf(selected.isEmpty() ? nullptr : selected.constFirst());
    emit OctetsSelected(first, count);
}

void CMarloTrcTreeView::SaveStates() {
    const QTreeWidgetItem* current = currentItem();
    ForEachPreOrder(*this, [&](QTreeWidgetItem* item) {
        const std::string label = item->text(0).toStdString();
        if (label.empty()) return;
        std::uint32_t state = 0;
        if (item == current && item->isSelected()) state |= kSelected;
        if (item->isExpanded()) state |= kExpanded;
        // When several nodes share a key the last one visited wins.
        m_expandStates[StateKey(label)] = state;
    });
}

void CMarloTrcTreeView::RestoreStates() {
    QTreeWidgetItem* toSelect = nullptr;
    ForEachPreOrder(*this, [&](QTreeWidgetItem* item) {
        const std::string label = item->text(0).toStdString();
        if (label.empty()) return;
        const auto found = m_expandStates.find(StateKey(label));
        if (found == m_expandStates.end()) return;
        if ((found->second & kExpanded) != 0) item->setExpanded(true);
        if ((found->second & kSelected) != 0) toSelect = item;  // a later match replaces an earlier one
    });
    if (toSelect != nullptr) {
        // Selecting a node inside a closed branch opens its parents, so the
        // selection is always in sight.
        setCurrentItem(toSelect);
        scrollToItem(toSelect);
    } else {
        setCurrentItem(nullptr);
        clearSelection();
    }
}

void CMarloTrcTreeView::AnnounceSelection() {
    const QTreeWidgetItem* item = currentItem();
    const std::intptr_t itemData =
        item != nullptr && item->isSelected() ? static_cast<std::intptr_t>(item->data(0, kItemDataRole).toInt()) : 0;
    m_document.UpdateAllViews(this, trace::HINT_TREE_NODE_SELECTED, itemData);
}

}  // namespace views
