#pragma once
// CMarloTrcTreeView: the middle pane of a trace window, the decode tree of
// the record selected in the list. The tree is rebuilt for every selected
// record; which branches were open and which node was selected is kept by
// label key (the label up to its first ':') so moving from record to record
// keeps the same parts open. Owned by its CTraceChildFrame; user-interface
// thread only.

#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "trace/DecodeTree.h"
#include "trace/Document.h"

namespace views {

// Makes the decode tree of one record: the shared trace::BuildDecodeTree in
// the program; tests may hand in trees of their own.
using TreeBuilder = std::function<std::vector<trace::DecodeNode>(const trace::CTraceLog& log, int index)>;

class CMarloTrcTreeView final : public QTreeWidget, public trace::CView {
    Q_OBJECT
public:
    // Node states kept per key, as the tree control's state bits.
    static constexpr std::uint32_t kSelected = 0x0002;
    static constexpr std::uint32_t kExpanded = 0x0020;

    explicit CMarloTrcTreeView(trace::CDocument& document, TreeBuilder builder = trace::BuildDecodeTree,
                               QWidget* parent = nullptr);
    ~CMarloTrcTreeView() override;
    CMarloTrcTreeView(const CMarloTrcTreeView&) = delete;
    CMarloTrcTreeView& operator=(const CMarloTrcTreeView&) = delete;

    void OnUpdate(trace::CView* sender, std::uint32_t hint, std::intptr_t object) override;

    // The key a label is remembered under: up to, not including, its first ':'.
    static std::string StateKey(const std::string& label);

    // Makes trees with another builder from now on (View > Element Details
    // switches between the plain and the detailed tree); the record shown is
    // built again at once, keeping its open branches and selection.
    void SetTreeBuilder(TreeBuilder builder);

    // Selects the deepest node over a data octet of the shown record (of
    // equally deep ones the narrowest); nothing changes when none is.
    void SelectOctet(int octet);
    // The data octets of a node: {first, count}, count 0 when it has none.
    static std::pair<int, int> OctetsOf(const QTreeWidgetItem* item);

signals:
    // The selected node stands for these data octets (count 0: none).
    void OctetsSelected(int first, int count);

private:
    void Rebuild(int index);
    void SaveStates();
    void RestoreStates();
    void AnnounceSelection();

    trace::CDocument& m_document;
    TreeBuilder m_builder;
    // Lives as long as the pane and is never emptied: keys of earlier
    // records stay until the pane goes.
    std::unordered_map<std::string, std::uint32_t> m_expandStates;
    bool m_rebuilding = false;
    int m_shown = -1;  // the record whose tree is shown, -1 before the first
    // Last, so it is the last of this view to go.
    trace::ViewRegistration m_registration{m_document, *this};
};

}  // namespace views
