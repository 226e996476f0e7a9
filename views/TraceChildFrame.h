#pragma once
// CTraceChildFrame: the MDI child window of a trace or log document, three
// panes stacked in a splitter: record list (under its display filter bar),
// decode tree, hex dump. Selecting a tree node highlights its octets in the
// hex dump; clicking an octet selects the deepest node over it. It shares
// ownership of its document with the other windows on it, so the document
// lives until its last window is gone. Owned by the main frame's MDI area;
// user-interface thread only.

#include <QMdiSubWindow>
#include <QPointer>
#include <array>
#include <memory>

#include "trace/Document.h"
#include "views/MarloTrcTreeView.h"

class QSplitter;
class QTimer;

namespace views {

class DocumentAnalysis;

class CMarloTrcListView;
class CMarloTrcHexView;
class FilterBar;

class CTraceChildFrame final : public QMdiSubWindow {
    Q_OBJECT
public:
    // The frame is `size` big; its height less the caption goes to the panes
    // as PaneHeights shares it. The panes get their initial update at once.
    CTraceChildFrame(std::shared_ptr<trace::CDocument> document, const TreeBuilder& builder, QSize size,
                     QWidget* parent = nullptr);
    ~CTraceChildFrame() override;
    CTraceChildFrame(const CTraceChildFrame&) = delete;
    CTraceChildFrame& operator=(const CTraceChildFrame&) = delete;

    // The record list, tree and hex panes' heights: a third each of what the
    // caption leaves, except that the list gets up to `listWants` pixels
    // (its filter bar, heading and kRowsOnOpening rows) as long as that
    // leaves each other pane a fifth; the two others share the rest.
    static constexpr int kRowsOnOpening = 16;
    static std::array<int, 3> PaneHeights(int frameHeight, int captionHeight, int listWants);

    trace::CDocument& GetDocument() const { return *m_document; }
    const std::shared_ptr<trace::CDocument>& DocumentPtr() const { return m_document; }
    CMarloTrcListView* ListView() const { return m_list; }
    CMarloTrcTreeView* TreeView() const { return m_tree; }
    CMarloTrcHexView* HexView() const { return m_hex; }
    FilterBar* Filter() const { return m_filterBar; }
    QSplitter* Splitter() const { return m_splitter.get(); }

    // The pane that had the focus last in this frame.
    QWidget* ActivePane() const { return m_activePane; }

    // Calls and problems of the document's records, brought up to date a few
    // times a second; the record list marks the rows that have problems.
    const std::shared_ptr<DocumentAnalysis>& Analysis() const { return m_analysis; }
    // Feeds the records the analysis has not seen; true when there were any.
    bool UpdateAnalysis();
    // True while records are not analysed yet (a large log is analysed in
    // slices between events after it opened) or not loaded yet.
    bool AnalysisBehind() const;
    // What Copy takes from the active pane: the selected record as its
    // tab-separated cells (the list), the selected node with its children as
    // indented text (the tree), the highlighted octets, or all of them, as
    // hex (the dump). Empty when the pane has nothing to give.
    QString CopyText() const;

signals:
    // The analysis took in new records (its problem counts may have changed).
    void AnalysisUpdated(views::CTraceChildFrame* frame);

    // The user asked to close this window (close box, Close command). The
    // owner decides what happens to the document; the window stays until
    // the owner deletes it.
    void CloseRequested(views::CTraceChildFrame* frame);
    // A short note for the main window's status bar ("12 of 340 records", a
    // filter that does not parse, auto-scroll turned off).
    void StatusNote(const QString& text);
    // What Copy would take may have changed: another pane became active,
    // or the list's or the tree's selection changed.
    void CopySourceChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildPanes(const TreeBuilder& builder, QSize size);
    void ConnectPanes();
    void StartAnalysis();
    // True while the document's log is still being read in steps.
    bool LogLoading() const;
    void CatchUpAnalysis();
    void CatchUpAnalysisLater();
    void OnFocusChanged(QWidget* now);

    std::shared_ptr<trace::CDocument> m_document;
    CMarloTrcListView* m_list = nullptr;
    CMarloTrcTreeView* m_tree = nullptr;
    CMarloTrcHexView* m_hex = nullptr;
    FilterBar* m_filterBar = nullptr;
    QPointer<QWidget> m_activePane;
    std::shared_ptr<DocumentAnalysis> m_analysis;
    QTimer* m_analysisTimer = nullptr;
    bool m_catchUpQueued = false;
    bool m_analysingInSlices = false;  // the status bar shows the analysis's progress
    // The panes, views of the document and its analysis: held after them,
    // so they go first.
    std::unique_ptr<QSplitter> m_splitter;
};

}  // namespace views
