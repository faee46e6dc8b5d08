// SPDX-License-Identifier: GPL-3.0-or-later
#include "titleicons.h"

#include "canvas.h"
#include "palette.h"

#include <QPainter>
#include <QTransform>

namespace {
constexpr int kSize = kIconSize;
const QPointF kMid(kSize / 2.0, kSize / 2.0);

QPen glyphPen(qreal width)
{
    return QPen(tone::kGlyph, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath gear()
{
    const int teeth = 8;
    QPainterPath body = circlePath(kMid, 14.5);
    for (int i = 0; i < teeth; ++i) {
        QPainterPath tooth;
        tooth.addRoundedRect(QRectF(-4.6, -21.5, 9.2, 10), 2, 2);
        QTransform turn;
        turn.translate(kMid.x(), kMid.y());
        turn.rotate(i * 360.0 / teeth);
        body = body.united(turn.map(tooth));
    }
    return body.subtracted(circlePath(kMid, 6.5));
}
} // namespace

QImage drawTitleSetting()
{
    QImage image = newCanvas(kSize, kSize);
    QPainter p(&image);
    prepare(p);
    p.setPen(Qt::NoPen);
    p.setBrush(tone::kGlyph);
    p.drawPath(gear());
    return image;
}

QImage drawTitleMinimize()
{
    QImage image = newCanvas(kSize, kSize);
    QPainter p(&image);
    prepare(p);
    p.setPen(glyphPen(5));
    p.drawLine(QPointF(11, 25), QPointF(37, 25));
    return image;
}

QImage drawTitleClose()
{
    QImage image = newCanvas(kSize, kSize);
    QPainter p(&image);
    prepare(p);
    p.setPen(glyphPen(5));
    p.drawLine(QPointF(12, 12), QPointF(36, 36));
    p.drawLine(QPointF(36, 12), QPointF(12, 36));
    return image;
}
