// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas.h"
#include "gauge.h"
#include "gaugelayout.h"
#include "palette.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

using namespace gauge;

namespace {
void drawFace(QPainter& p)
{
    const QPointF c = centre();
    QRadialGradient face(QPointF(c.x(), c.y() - 60), kFaceRadius);
    face.setColorAt(0.0, QColor(30, 35, 46));
    face.setColorAt(0.7, QColor(17, 20, 27));
    face.setColorAt(1.0, tone::kFaceDark);
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawEllipse(c, kFaceRadius, kFaceRadius);

    // Metal bezel: bright top edge, dark bottom, like light from above.
    QLinearGradient bezel(0, c.y() - kFaceRadius, 0, c.y() + kFaceRadius);
    bezel.setColorAt(0.0, QColor(92, 100, 116));
    bezel.setColorAt(0.45, QColor(38, 42, 51));
    bezel.setColorAt(1.0, QColor(58, 63, 74));
    QPainterPath rim = circlePath(c, kFaceRadius - 1).subtracted(circlePath(c, kBezelInner));
    p.setBrush(bezel);
    p.drawPath(rim);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(5, 6, 8), 2.5));
    p.drawEllipse(c, kBezelInner, kBezelInner);
    p.setPen(QPen(QColor(255, 255, 255, 40), 1.2));
    p.drawEllipse(c, kFaceRadius - 1.5, kFaceRadius - 1.5);
}

void drawChannel(QPainter& p)
{
    // A recessed groove that the segments sit in.
    const QPointF c = centre();
    QRadialGradient groove(c, kSegmentOuter + 12);
    const qreal inner = (kSegmentInner - 8) / (kSegmentOuter + 12);
    groove.setColorAt(inner, QColor(6, 7, 10));
    groove.setColorAt(0.93, QColor(12, 14, 19));
    groove.setColorAt(1.0, QColor(20, 23, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(groove);
    p.drawPath(sectorPath(kSegmentInner - 8, kSegmentOuter + 8, 1.0));

    p.setPen(QPen(QColor(42, 47, 57), 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arcPath(kTrackRadius, 1.0));
}

void drawSegments(QPainter& p)
{
    p.setPen(QPen(QColor(255, 255, 255, 16), 1.2));
    for (int s = 0; s < kSegments; ++s) {
        const qreal t = (s + 0.5) / kSegments;
        p.setBrush(mix(QColor(34, 38, 47), accentAt(t), 0.10));
        p.drawPath(segmentPath(s));
    }
}

void drawTicks(QPainter& p)
{
    const QPointF c = centre();
    for (int s = 0; s <= kSegments; ++s) {
        const qreal a = angleAt(qreal(s) / kSegments);
        const bool major = s % kSegmentsPerGroup == 0;
        p.setPen(major ? QPen(QColor(96, 104, 118), 3.2, Qt::SolidLine, Qt::RoundCap)
                       : QPen(QColor(58, 64, 76), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(polar(c, major ? kMajorTickInner : kMinorTickInner, a), polar(c, kTickOuter, a));
    }
}

void drawCalmCentre(QPainter& p)
{
    // The readouts sit here, so only a soft darker pool and a hairline edge.
    const QPointF c = centre();
    QRadialGradient pool(c, kCalmRadius);
    pool.setColorAt(0.0, QColor(8, 10, 14, 150));
    pool.setColorAt(0.85, QColor(8, 10, 14, 90));
    pool.setColorAt(1.0, QColor(8, 10, 14, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(pool);
    p.drawEllipse(c, kCalmRadius, kCalmRadius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 14), 1.2));
    p.drawEllipse(c, kCalmRadius + 4, kCalmRadius + 4);
}

void drawPrint(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(tone::kUnlitText);
    for (int g = 1; g < kGroups; ++g) {
        p.drawPath(markPath(g));
    }
    p.setBrush(QColor(78, 85, 97));
    p.drawPath(unitCaption());
    p.setBrush(QColor(104, 112, 125));
    p.drawPath(titleCaption());
}
} // namespace

QImage drawGaugeBackground()
{
    QImage image = newCanvas(kSize, kSize);
    QPainter p(&image);
    prepare(p);
    drawFace(p);
    drawCalmCentre(p);
    drawChannel(p);
    drawSegments(p);
    drawTicks(p);
    drawPrint(p);
    return image;
}
