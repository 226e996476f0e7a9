#pragma once
// CMarloTrcHexView: the bottom pane of a trace window, the hex dump of the
// record selected in the list, painted line by line in a fixed-pitch font.
// The scroll area follows the text, so the end of a long frame is always
// reachable. Owned by its CTraceChildFrame; user-interface thread only.

#include <QAbstractScrollArea>
#include <QFont>
#include <string>

#include "trace/Document.h"

namespace views {

class CMarloTrcHexView final : public QAbstractScrollArea, public trace::CView {
    Q_OBJECT
public:
    // Every dump line: offset, sixteen hex groups, a blank, sixteen
    // characters, then the line end, which is not drawn.
    static constexpr int kLineLength = 75;
    static constexpr int kDrawnLength = 73;

    explicit CMarloTrcHexView(trace::CDocument& document, QWidget* parent = nullptr);
    ~CMarloTrcHexView() override;
    CMarloTrcHexView(const CMarloTrcHexView&) = delete;
    CMarloTrcHexView& operator=(const CMarloTrcHexView&) = delete;

    void OnUpdate(trace::CView* sender, std::uint32_t hint, std::intptr_t object) override;

    const std::string& DumpText() const { return m_text; }
    int LineHeight() const { return m_lineHeight; }
    // "Courier New" 9 pt, or the system's fixed-pitch font at 9 pt when that
    // family is not installed.
    static QFont DumpFont();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int LineCount() const { return static_cast<int>(m_text.size() / kLineLength); }
    void UpdateScrollRange();

    trace::CDocument& m_document;
    std::string m_text;    // the dump of the selected record, kept when the list is cleared
    int m_lineHeight = 0;  // pixels: the font's height less one
    int m_charWidth = 0;
};

}  // namespace views
