#include "views/MarloTrcHexView.h"

#include <QFontDatabase>
#include <QFontInfo>
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
    viewport()->setBackgroundRole(QPalette::Base);
    verticalScrollBar()->setSingleStep(m_lineHeight);
    horizontalScrollBar()->setSingleStep(m_charWidth);
    UpdateScrollRange();
    m_document.AddView(this);
}

CMarloTrcHexView::~CMarloTrcHexView() { m_document.RemoveView(this); }

void CMarloTrcHexView::OnUpdate(trace::CView* /*sender*/, std::uint32_t hint, std::intptr_t object) {
    // Only a selection changes the dump; a cleared list leaves it as it was.
    if (hint != trace::HINT_RECORD_SELECTED) return;
    m_text.clear();
    const trace::CTraceLog* log = m_document.GetTraceLog();
    if (log != nullptr && object >= 0) log->FormatHexDump(m_text, static_cast<int>(object));
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
    // Blank the line below the dump on the opaque background.
    painter.drawText(dx, dy + lines * m_lineHeight + ascent, QString(kLineLength, QLatin1Char(' ')));
}

}  // namespace views
