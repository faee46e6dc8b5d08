// SPDX-License-Identifier: GPL-3.0-or-later
#include "menuicons.h"

#include "canvas.h"
#include "palette.h"

#include <QLinearGradient>
#include <QPainter>

namespace {
constexpr int kSize = kIconSize;
const QPointF kMid(kSize / 2.0, kSize / 2.0);

QPen glyphPen(qreal width, const QColor& colour = tone::kGlyph)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Paints the badge and leaves the painter ready for the glyph.
void badge(QPainter& p, const QColor& colour, qreal radius = 21.5)
{
    QLinearGradient fill(0, kMid.y() - radius, 0, kMid.y() + radius);
    fill.setColorAt(0.0, colour.lighter(128));
    fill.setColorAt(1.0, colour.darker(118));
    p.setPen(QPen(colour.darker(165), 1.5));
    p.setBrush(fill);
    p.drawEllipse(kMid, radius, radius);
    p.setBrush(Qt::NoBrush);
}

QPainterPath eyeOutline()
{
    QPainterPath eye;
    eye.moveTo(9.5, 24);
    eye.quadTo(24, 7.5, 38.5, 24);
    eye.quadTo(24, 40.5, 9.5, 24);
    eye.closeSubpath();
    return eye;
}

void eye(QPainter& p)
{
    p.setPen(glyphPen(3.6));
    p.drawPath(eyeOutline());
    p.setPen(Qt::NoPen);
    p.setBrush(tone::kGlyph);
    p.drawEllipse(kMid, 5.6, 5.6);
}

struct Canvas
{
    QImage image = newCanvas(kSize, kSize);
    QPainter painter {&image};
    Canvas() { prepare(painter); }
};
} // namespace

QImage drawMenuHide()
{
    Canvas c;
    const QColor colour(240, 140, 0);
    badge(c.painter, colour);
    eye(c.painter);
    // The slash cuts through the eye with a gap of badge colour on each side.
    c.painter.setPen(glyphPen(8, colour.darker(105)));
    c.painter.drawLine(QPointF(14, 35), QPointF(34, 13));
    c.painter.setPen(glyphPen(3.8));
    c.painter.drawLine(QPointF(14, 35), QPointF(34, 13));
    c.painter.end();
    return c.image;
}

QImage drawMenuShow()
{
    Canvas c;
    badge(c.painter, QColor(32, 178, 112));
    eye(c.painter);
    c.painter.end();
    return c.image;
}

QImage drawMenuExit()
{
    Canvas c;
    badge(c.painter, QColor(229, 56, 59));
    QPainter& p = c.painter;
    p.setPen(glyphPen(4.2));
    p.drawArc(QRectF(kMid.x() - 11, kMid.y() - 9.5, 22, 22), 122 * 16, 296 * 16); // open at the top
    p.drawLine(QPointF(24, 11), QPointF(24, 23));
    p.end();
    return c.image;
}

QImage drawMenuVersion()
{
    Canvas c;
    const QColor colour(47, 128, 237);
    badge(c.painter, colour);
    QPainter& p = c.painter;
    // A chip with three pins a side and an "i" on its face.
    p.setPen(glyphPen(2.6));
    for (int i = -1; i <= 1; ++i) {
        const qreal o = 24 + i * 5.5;
        p.drawLine(QPointF(o, 10.5), QPointF(o, 14));
        p.drawLine(QPointF(o, 34), QPointF(o, 37.5));
        p.drawLine(QPointF(10.5, o), QPointF(14, o));
        p.drawLine(QPointF(34, o), QPointF(37.5, o));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(tone::kGlyph);
    p.drawRoundedRect(QRectF(14, 14, 20, 20), 3.5, 3.5);
    p.setBrush(colour.darker(110));
    p.drawEllipse(QPointF(24, 18.6), 2.2, 2.2);
    p.drawRoundedRect(QRectF(22.1, 22, 3.8, 8.6), 1.4, 1.4);
    p.end();
    return c.image;
}

QImage drawMenuUpdate()
{
    Canvas c;
    badge(c.painter, QColor(124, 77, 255));
    QPainter& p = c.painter;
    p.setPen(glyphPen(4.4));
    p.drawLine(QPointF(24, 32), QPointF(24, 13));
    QPolygonF head;
    head << QPointF(15.5, 21.5) << QPointF(24, 13) << QPointF(32.5, 21.5);
    p.drawPolyline(head);
    p.drawLine(QPointF(15, 36), QPointF(33, 36));
    p.end();
    return c.image;
}

QImage drawMessageInfo()
{
    Canvas c;
    QPainter& p = c.painter;
    QLinearGradient fill(0, 2, 0, 46);
    fill.setColorAt(0.0, QColor(92, 168, 255));
    fill.setColorAt(1.0, QColor(28, 104, 222));
    p.setPen(QPen(QColor(160, 205, 255), 1.5));
    p.setBrush(fill);
    p.drawEllipse(kMid, 22, 22);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(24, 13.8), 3.5, 3.5);
    p.drawRoundedRect(QRectF(21.1, 20, 5.8, 16), 2.4, 2.4);
    p.end();
    return c.image;
}
