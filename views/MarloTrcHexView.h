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

    // Octets shown highlighted, in both the hex and the character field
    // (count 0: none). The decode tree sets them for each record it shows.
    void SetHighlight(int first, int count);
    std::pair<int, int> Highlight() const { return {m_highlightFirst, m_highlightCount}; }
    // The data octet under a point of the viewport, or -1.
    int OctetAt(QPoint point) const;
    // The highlighted octets (all of them when none is highlighted) as hex
    // pairs separated by blanks ("08 01 05").
    QString SelectedHex() const;

signals:
    // An octet of the dump was clicked.
    void OctetClicked(int octet);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int LineCount() const { return static_cast<int>(m_text.size() / kLineLength); }
    void UpdateScrollRange();

    trace::CDocument& m_document;
    std::string m_text;    // the dump of the selected record, kept when the list is cleared
    int m_lineHeight = 0;  // pixels: the font's height less one
    int m_charWidth = 0;
    qreal m_advance = 1;  // pixels from one character to the next
    int m_dataSize = 0;  // octets of the selected record
    int m_highlightFirst = 0;
    int m_highlightCount = 0;
    // Last, so it is the last of this view to go.
    trace::ViewRegistration m_registration{m_document, *this};
};

}  // namespace views
