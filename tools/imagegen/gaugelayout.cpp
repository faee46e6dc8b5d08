// SPDX-License-Identifier: GPL-3.0-or-later
#include "gaugelayout.h"

#include "canvas.h"
#include "palette.h"

#include <QRectF>
#include <QtMath>

namespace gauge {

QPointF centre()
{
    return {kSize / 2.0, kSize / 2.0};
}

qreal angleAt(qreal t)
{
    return kStartDeg - kSweepDeg * t;
}

qreal groupEnd(int group)
{
    return qreal(group + 1) / kGroups;
}

namespace {
QRectF ring(qreal radius)
{
    return {centre().x() - radius, centre().y() - radius, 2 * radius, 2 * radius};
}

QPainterPath annularSector(qreal inner, qreal outer, qreal fromDeg, qreal toDeg)
{
    QPainterPath path;
    path.moveTo(polar(centre(), outer, fromDeg));
    path.arcTo(ring(outer), fromDeg, toDeg - fromDeg);
    path.lineTo(polar(centre(), inner, toDeg));
    path.arcTo(ring(inner), toDeg, fromDeg - toDeg);
    path.closeSubpath();
    return path;
}
} // namespace

QPainterPath segmentPath(int segment)
{
    const qreal pitch = kSweepDeg / kSegments;
    const qreal from = kStartDeg - pitch * segment - kSegmentGapDeg / 2;
    const qreal to = kStartDeg - pitch * (segment + 1) + kSegmentGapDeg / 2;
    return annularSector(kSegmentInner, kSegmentOuter, from, to);
}

QPainterPath sectorPath(qreal innerRadius, qreal outerRadius, qreal t)
{
    return annularSector(innerRadius, outerRadius, kStartDeg, angleAt(t));
}

QPainterPath arcPath(qreal radius, qreal t)
{
    QPainterPath path;
    path.moveTo(polar(centre(), radius, kStartDeg));
    path.arcTo(ring(radius), kStartDeg, -kSweepDeg * t);
    return path;
}

const QVector<int>& frameNumbers()
{
    static const QVector<int> numbers = {1, 2, 3, 4, 6, 8, 10, 12, 14, 16, 18, 20};
    return numbers;
}

int markValue(int group)
{
    return frameNumbers().value(group) * 100;
}

QPainterPath markPath(int group)
{
    // Each mark is pulled in just far enough that its box clears the tick ring, however wide the number is.
    const qreal angle = angleAt(groupEnd(group));
    QPainterPath text = centredText(QString::number(markValue(group)), dejaVu(25, true), QPointF());
    const QRectF box = text.boundingRect();
    const qreal rad = qDegreesToRadians(angle);
    const qreal reach = qAbs(box.width() / 2 * qCos(rad)) + qAbs(box.height() / 2 * qSin(rad));
    text.translate(polar(centre(), kLabelRim - reach, angle));
    return text;
}

QPainterPath unitCaption()
{
    return centredText(QStringLiteral("FANRPM"), dejaVu(22, true, 5), QPointF(kSize / 2.0, 604));
}

QPainterPath titleCaption()
{
    return centredText(QStringLiteral("PUMP SPEED"), dejaVu(34, true, 3), QPointF(kSize / 2.0, 662));
}

QConicalGradient arcGradient()
{
    // The conical gradient turns counter-clockwise from its start; the arc is drawn clockwise from 225 degrees,
    // so start at the arc's far end (-45 degrees) and map arc position t to 0.75 * (1 - t).
    QConicalGradient gradient(centre(), kStartDeg - kSweepDeg);
    const QGradientStops ramp = accentStops();
    for (int i = ramp.size() - 1; i >= 0; --i) {
        gradient.setColorAt(0.75 * (1.0 - ramp[i].first), ramp[i].second);
    }
    // The unused quarter under the gauge lies in the opening, where nothing is drawn.
    gradient.setColorAt(1.0, ramp.last().second);
    return gradient;
}

} // namespace gauge
