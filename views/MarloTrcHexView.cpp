#include "views/MarloTrcHexView.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "trace/TraceLog.h"

namespace views {

QFont CMarloTrcHexView::DumpFont() {
    QFont font(QStringLiteral("Courier New"), 9);
    font.setStyleHint(QFont::TypeWriter);
    if (QFontInfo(font).family().compare(QStringLiteral("Courier New"), Qt::CaseInsensitive) != 0) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(9);
    }
    return font;
}

CMarloTrcHexView::CMarloTrcHexView(trace::CDocument& document, QWidget* parent)
    : QAbstractScrollArea(parent), m_document(document) {
    setFont(DumpFont());
    const QFontMetrics metrics(font());
    m_lineHeight = std::max(1, metrics.height() - 1);
    m_charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    // The exact advance: a line is laid out with fractional advances, so the
    // place of character k is k times this, not k times the rounded width.
    m_advance = std::max(1.0, QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0')));
    viewport()->setBackgroundRole(QPalette::Base);
    // Clicking the dump makes it the active pane, so Copy takes its octets.
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(m_lineHeight);
    horizontalScrollBar()->setSingleStep(m_charWidth);
    UpdateScrollRange();
}

CMarloTrcHexView::~CMarloTrcHexView() = default;

void CMarloTrcHexView::OnUpdate(trace::CView* /*sender*/, std::uint32_t hint, std::intptr_t object) {
    // Only a selection changes the dump; a cleared list leaves it as it was.
    if (hint != trace::HINT_RECORD_SELECTED) return;
    m_text.clear();
    m_dataSize = 0;
    const trace::CTraceLog* log = m_document.GetTraceLog();
    if (log != nullptr && object >= 0) {
        log->FormatHexDump(m_text, static_cast<int>(object));
        if (const std::optional<trace::CTraceRecord> record = log->GetRecord(static_cast<int>(object)))
            m_dataSize = static_cast<int>(record->GetData().size());
    }
    UpdateScrollRange();
    viewport()->repaint();
}

void CMarloTrcHexView::UpdateScrollRange() {
    // The dump and the blank line below it.
    const int height = (LineCount() + 1) * m_lineHeight;
    const int width = kLineLength * m_charWidth;
    const QSize page = viewport()->size();
    verticalScrollBar()->setPageStep(page.height());
    verticalScrollBar()->setRange(0, std::max(0, height - page.height()));
    horizontalScrollBar()->setPageStep(page.width());
    horizontalScrollBar()->setRange(0, std::max(0, width - page.width()));
}

void CMarloTrcHexView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void CMarloTrcHexView::paintEvent(QPaintEvent* /*event*/) {
    const trace::CTraceLog* log = m_document.GetTraceLog();
    if (log == nullptr || log->GetRecordCount() == 0) return;

    QPainter painter(viewport());
    painter.setFont(font());
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    painter.setPen(palette().color(QPalette::Text));
    const int dx = -horizontalScrollBar()->value();
    const int dy = -verticalScrollBar()->value();
    const int ascent = QFontMetrics(font()).ascent();
    const int lines = LineCount();
    // Only the lines that meet the pane are drawn.
    const int first = std::max(0, -dy / m_lineHeight);
    const int last = std::min(lines, (viewport()->height() - dy) / m_lineHeight + 1);
    for (int k = first; k < last; ++k) {
        const auto line = QString::fromLatin1(m_text.data() + static_cast<std::size_t>(k) * kLineLength, kDrawnLength);
        painter.drawText(dx, dy + k * m_lineHeight + ascent, line);
    }
    // The highlighted octets again, in the selection's colours.
    const int highlightEnd = std::min(m_dataSize, m_highlightFirst + m_highlightCount);
    if (m_highlightCount > 0 && m_highlightFirst < highlightEnd) {
        const QPalette colours = QApplication::palette(this);
        painter.setBackground(colours.color(QPalette::Active, QPalette::Highlight));
        painter.setPen(colours.color(QPalette::Active, QPalette::HighlightedText));
        for (int octet = m_highlightFirst; octet < highlightEnd; ++octet) {
            const int line = octet / 16;
            if (line < first || line >= last) continue;
            const int column = octet % 16;
            const std::size_t at = static_cast<std::size_t>(line) * kLineLength;
            const int y = dy + line * m_lineHeight + ascent;
            // Two hex digits (and the blank after them unless the octet ends
            // the highlight or its line), then the character.
            const bool joined = octet + 1 < highlightEnd && column < 15;
            const int hexColumn = 8 + 3 * column;
            painter.drawText(QPointF(dx + hexColumn * m_advance, y),
                             QString::fromLatin1(m_text.data() + at + hexColumn, joined ? 3 : 2));
            painter.drawText(QPointF(dx + (57 + column) * m_advance, y),
                             QString::fromLatin1(m_text.data() + at + 57 + column, 1));
        }
        painter.setBackground(Qt::white);
        painter.setPen(palette().color(QPalette::Text));
    }
    // Blank the line below the dump on the opaque background.
    painter.drawText(dx, dy + lines * m_lineHeight + ascent, QString(kLineLength, QLatin1Char(' ')));
}

void CMarloTrcHexView::SetHighlight(int first, int count) {
    m_highlightFirst = std::max(0, first);
    m_highlightCount = std::max(0, count);
    viewport()->update();
}

int CMarloTrcHexView::OctetAt(QPoint point) const {
    const int x = point.x() + horizontalScrollBar()->value();
    const int y = point.y() + verticalScrollBar()->value();
    if (x < 0 || y < 0) return -1;
    const int line = y / m_lineHeight;
    const int column = static_cast<int>(x / m_advance);
    int inLine = -1;
    if (column >= 8 && column < 8 + 48 && (column - 8) % 3 < 2) inLine = (column - 8) / 3;
    if (column >= 57 && column < 73) inLine = column - 57;
    if (inLine < 0) return -1;
    const int octet = line * 16 + inLine;
    return octet < m_dataSize ? octet : -1;
}

QString CMarloTrcHexView::SelectedHex() const {
    QStringList pairs;
    const bool some = m_highlightCount > 0 && m_highlightFirst < m_dataSize;
    const int begin = some ? m_highlightFirst : 0;
    const int end = some ? std::min(m_dataSize, m_highlightFirst + m_highlightCount) : m_dataSize;
    for (int octet = begin; octet < end; ++octet) {
        const std::size_t at = static_cast<std::size_t>(octet / 16) * kLineLength + 8 + 3 * (octet % 16);
        pairs.append(QString::fromLatin1(m_text.data() + at, 2));
    }
    return pairs.join(QLatin1Char(' '));
}

void CMarloTrcHexView::mousePressEvent(QMouseEvent* event) {
    QAbstractScrollArea::mousePressEvent(event);
    const int octet = OctetAt(event->position().toPoint());
    if (octet >= 0) emit OctetClicked(octet);
}

}  // namespace views
