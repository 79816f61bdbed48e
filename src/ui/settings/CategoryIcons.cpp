// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/CategoryIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace parcelo {

namespace {

const QColor kInk(0x2b, 0x3a, 0x55);
const QColor kPaper(0xfb, 0xfb, 0xf4);

QIcon paintIcon(const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(kCategoryIconSize, kCategoryIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return QIcon(pixmap);
}

void drawSheet(QPainter& p, const QRectF& sheet) {
    QPainterPath outline;
    outline.moveTo(sheet.topLeft());
    outline.lineTo(sheet.right() - 6, sheet.top());
    outline.lineTo(sheet.right(), sheet.top() + 6);
    outline.lineTo(sheet.bottomRight());
    outline.lineTo(sheet.bottomLeft());
    outline.closeSubpath();
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(kPaper);
    p.drawPath(outline);
}

// A sheet with a name tag: how files are named.
void drawNaming(QPainter& p) {
    drawSheet(p, QRectF(6.5, 2.5, 19, 26));
    p.setPen(QPen(QColor(0x9a, 0xa5, 0xb8), 1.5));
    for (int y = 11; y <= 17; y += 3)
        p.drawLine(QPointF(10, y), QPointF(22, y));
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(QColor(0xf2, 0xa9, 0x3b));
    p.drawRoundedRect(QRectF(2.5, 19.5, 20, 9), 2, 2);
    p.setPen(QPen(kInk, 1.5));
    p.drawLine(QPointF(6, 24), QPointF(18, 24));
}

// An envelope with header lines beside it.
void drawHeaders(QPainter& p) {
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(QColor(0xdc, 0xe8, 0xf7));
    const QRectF envelope(2.5, 8.5, 27, 18);
    p.drawRect(envelope);
    p.drawLine(envelope.topLeft(), QPointF(16, 19));
    p.drawLine(envelope.topRight(), QPointF(16, 19));
    p.setPen(QPen(QColor(0x2f, 0x6f, 0xc0), 2));
    p.drawLine(QPointF(4, 3.5), QPointF(20, 3.5));
    p.drawLine(QPointF(4, 6), QPointF(14, 6));
}

// A sheet with a paper clip.
void drawAttachments(QPainter& p) {
    drawSheet(p, QRectF(4.5, 4.5, 19, 25));
    QPainterPath clip;
    clip.moveTo(20, 22);
    clip.lineTo(20, 6);
    clip.arcTo(QRectF(20, 1, 8, 8), 180, -180);
    clip.lineTo(28, 24);
    clip.arcTo(QRectF(19, 20, 9, 9), 0, -180);
    clip.lineTo(19, 11);
    p.setPen(QPen(QColor(0x5a, 0x66, 0x78), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(clip);
}

// A cog wheel.
void drawMisc(QPainter& p) {
    const QPointF centre(16, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x6c, 0x7a, 0x89));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(centre);
        p.rotate(i * 45.0);
        p.drawRect(QRectF(-2.5, -14, 5, 6));
        p.restore();
    }
    p.drawEllipse(centre, 10, 10);
    p.setBrush(kPaper);
    p.drawEllipse(centre, 4, 4);
}

} // namespace

QList<QIcon> CategoryIcons() {
    return {paintIcon(drawNaming), paintIcon(drawHeaders), paintIcon(drawAttachments),
            paintIcon(drawMisc)};
}

} // namespace parcelo
