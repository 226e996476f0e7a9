#include "app/ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "app/CommandIds.h"

namespace app {
namespace {

QPixmap Canvas() {
    QPixmap pixmap(16, 15);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void Page(QPainter& p, QRectF r) {
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QColor(150, 150, 150));
    for (qreal y = r.top() + 3; y < r.bottom() - 1; y += 2) p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void DrawOpenedFolder(QPainter& p) {
    p.setPen(QColor(90, 70, 0));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(1, 4, 11, 9);
    p.setBrush(QColor(250, 225, 130));
    p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(12, 13), QPoint(1, 13)}));
    p.setPen(QPen(QColor(0, 0, 160), 1));
    p.drawLine(9, 1, 13, 1);
    p.drawLine(13, 1, 13, 4);
}

void DrawDiskette(QPainter& p) {
    p.setPen(QColor(20, 20, 20));
    p.setBrush(QColor(40, 40, 140));
    p.drawRect(1, 1, 13, 13);
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 9, 5);
    p.setBrush(QColor(180, 180, 180));
    p.drawRect(4, 9, 7, 5);
}

void DrawScissors(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(20, 20, 20), 1.2));
    p.drawLine(QPointF(5, 1), QPointF(10, 10));
    p.drawLine(QPointF(11, 1), QPointF(6, 10));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(4.5, 11.5), 2.5, 2.5);
    p.drawEllipse(QPointF(11.5, 11.5), 2.5, 2.5);
}

void DrawTwoPages(QPainter& p) {
    Page(p, QRectF(1, 1, 8, 9));
    Page(p, QRectF(6, 5, 8, 9));
}

void DrawClipboard(QPainter& p) {
    p.setPen(QColor(60, 40, 0));
    p.setBrush(QColor(170, 120, 50));
    p.drawRect(1, 2, 10, 12);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(4, 1, 4, 2);
    Page(p, QRectF(7, 6, 7, 8));
}

void DrawPrinter(QPainter& p) {
    Page(p, QRectF(4, 1, 8, 6));
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(1, 7, 14, 5);
    p.setBrush(QColor(120, 120, 120));
    p.drawRect(3, 12, 10, 2);
}

void DrawQuestionMark(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(14);
    p.setFont(font);
    p.setPen(QColor(0, 0, 150));
    p.drawText(QRect(0, 0, 16, 15), Qt::AlignCenter, QStringLiteral("?"));
}

struct IconDrawing {
    int commandId;
    void (*draw)(QPainter&);
};

constexpr IconDrawing kIcons[] = {
    {ID_FILE_OPEN, DrawOpenedFolder}, {ID_FILE_SAVE, DrawDiskette},   {ID_EDIT_CUT, DrawScissors},
    {ID_EDIT_COPY, DrawTwoPages},     {ID_EDIT_PASTE, DrawClipboard}, {ID_FILE_PRINT, DrawPrinter},
    {ID_APP_ABOUT, DrawQuestionMark},
};

}  // namespace

QIcon ToolbarIcon(int commandId) {
    QPixmap pixmap = Canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const IconDrawing& icon : kIcons)
        if (icon.commandId == commandId) icon.draw(p);
    p.end();
    return QIcon(pixmap);
}

QImage ProgramIconImage(int size) {
    // A dark screen with a green trace line and a row of frame marks.
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 48.0, size / 48.0);
    p.setPen(QPen(QColor(30, 40, 60), 2));
    p.setBrush(QColor(20, 60, 110));
    p.drawRoundedRect(QRectF(3, 5, 42, 38), 5, 5);
    p.setPen(QPen(QColor(120, 255, 140), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath trace(QPointF(7, 28));
    trace.lineTo(13, 28);
    trace.lineTo(13, 17);
    trace.lineTo(20, 17);
    trace.lineTo(20, 28);
    trace.lineTo(26, 28);
    trace.lineTo(26, 17);
    trace.lineTo(33, 17);
    trace.lineTo(33, 28);
    trace.lineTo(41, 28);
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 210, 80));
    for (int i = 0; i < 4; ++i) p.drawRect(QRectF(8 + i * 9, 34, 6, 4));
    p.end();
    return image;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    return icon;
}

}  // namespace app
