// SPDX-License-Identifier: GPL-3.0-or-later
#include "coolershape.h"

#include "canvas.h"

#include <QPainterPathStroker>

namespace cooler {

QPointF headCentre()
{
    return {256.0, 300.0};
}

namespace {
constexpr qreal kTubeWidth = 40.0;
constexpr int kArcSegments = 20;
constexpr int kArcLit = 13;

QPainterPath tube(qreal x, qreal bend)
{
    QPainterPath centreLine;
    centreLine.moveTo(x, 110);
    centreLine.cubicTo(x, 52, x + bend * 0.4, 26, x + bend * 1.15, -30);
    QPainterPathStroker stroker;
    stroker.setWidth(kTubeWidth);
    stroker.setCapStyle(Qt::FlatCap);
    return stroker.createStroke(centreLine).simplified();
}

QPainterPath fitting(qreal x)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(x - 24, 96, 48, 58), 8, 8);
    QPainterPath nut;
    nut.addRoundedRect(QRectF(x - 30, 128, 60, 22), 6, 6);
    return path.united(nut);
}

QPainterPath plate()
{
    QPainterPath path;
    const QPointF c = headCentre();
    path.addRoundedRect(QRectF(c.x() - 162, c.y() - 162, 324, 324), 58, 58);
    return path;
}

QVector<QPointF> screwPlaces()
{
    const QPointF c = headCentre();
    const qreal d = 128;
    return {c + QPointF(-d, -d), c + QPointF(d, -d), c + QPointF(-d, d), c + QPointF(d, d)};
}

QPainterPath displaySegment(int index)
{
    // 240 degrees of small segments around the display, open at the bottom.
    const QPointF c = headCentre();
    const qreal pitch = 240.0 / kArcSegments;
    const qreal from = 210.0 - pitch * index - 1.6;
    const qreal to = from - pitch + 3.2;
    const qreal inner = 88;
    const qreal outer = 102;
    QPainterPath path;
    path.moveTo(polar(c, outer, from));
    path.arcTo(QRectF(c.x() - outer, c.y() - outer, 2 * outer, 2 * outer), from, to - from);
    path.lineTo(polar(c, inner, to));
    path.arcTo(QRectF(c.x() - inner, c.y() - inner, 2 * inner, 2 * inner), to, from - to);
    path.closeSubpath();
    return path;
}
} // namespace

QVector<Shape> shapes()
{
    QVector<Shape> list;
    const QPointF c = headCentre();
    list.append({Part::Tube, tube(206, -96), true});
    list.append({Part::Tube, tube(306, 96), true});
    list.append({Part::Plate, plate(), true});
    for (const QPointF& at : screwPlaces()) {
        list.append({Part::Screw, circlePath(at, 13), true});
    }
    list.append({Part::Fitting, fitting(206), true});
    list.append({Part::Fitting, fitting(306), true});
    list.append({Part::Rim, circlePath(c, kRimRadius), true});
    list.append({Part::LightRing, circlePath(c, kRingOuter).subtracted(circlePath(c, kRingInner)), false});
    list.append({Part::Display, circlePath(c, kDisplayRadius), true});
    QPainterPath lit;
    QPainterPath dim;
    for (int i = 0; i < kArcSegments; ++i) {
        (i < kArcLit ? lit : dim).addPath(displaySegment(i));
    }
    list.append({Part::DisplayArcLit, lit, true});
    list.append({Part::DisplayArcDim, dim, true});
    return list;
}

} // namespace cooler
