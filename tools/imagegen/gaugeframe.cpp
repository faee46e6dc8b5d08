// SPDX-License-Identifier: GPL-3.0-or-later
#include "blur.h"
#include "canvas.h"
#include "gauge.h"
#include "gaugelayout.h"
#include "palette.h"

#include <QPainter>
#include <QRadialGradient>

using namespace gauge;

namespace {
QPainterPath litSegments(int level)
{
    QPainterPath path;
    const int count = (level + 1) * kSegmentsPerGroup;
    for (int s = 0; s < count; ++s) {
        path.addPath(segmentPath(s));
    }
    return path;
}

void drawGlow(QPainter& p, const QPainterPath& segments, qreal end)
{
    QImage glow = newCanvas(kSize, kSize);
    {
        QPainter g(&glow);
        prepare(g);
        g.setPen(Qt::NoPen);
        g.setBrush(arcGradient());
        g.drawPath(segments);
        g.setBrush(Qt::NoBrush);
        g.setPen(QPen(QBrush(arcGradient()), 8, Qt::SolidLine, Qt::RoundCap));
        g.drawPath(arcPath(kTrackRadius, end));
    }
    blurImage(glow, 30);
    p.setOpacity(0.85);
    p.drawImage(0, 0, glow);
    p.setOpacity(1.0);
}

void drawLitSegments(QPainter& p, const QPainterPath& segments)
{
    p.setPen(Qt::NoPen);
    p.setBrush(arcGradient());
    p.drawPath(segments);

    // Shade across the segment: darker at the inner edge, a bright lip at the outer edge.
    const QPointF c = centre();
    QRadialGradient shade(c, kSegmentOuter);
    const qreal inner = kSegmentInner / kSegmentOuter;
    shade.setColorAt(inner, QColor(0, 0, 0, 90));
    shade.setColorAt(inner + (1 - inner) * 0.45, QColor(0, 0, 0, 0));
    shade.setColorAt(0.955, QColor(255, 255, 255, 40));
    shade.setColorAt(1.0, QColor(255, 255, 255, 150));
    p.setBrush(shade);
    p.drawPath(segments);
}

void drawTrack(QPainter& p, qreal end)
{
    const QPointF c = centre();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(arcGradient()), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(arcPath(kTrackRadius, end));

    // A bright head where the lit track ends.
    const QPointF head = polar(c, kTrackRadius, angleAt(end));
    QRadialGradient halo(head, 20);
    halo.setColorAt(0.0, QColor(255, 255, 255, 230));
    halo.setColorAt(0.3, mix(accentAt(end), Qt::white, 0.4));
    halo.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(head, 20, 20);
    p.setBrush(Qt::white);
    p.drawEllipse(head, 5, 5);
}

void drawTicks(QPainter& p, int level)
{
    const QPointF c = centre();
    for (int g = 0; g <= level + 1; ++g) {
        const qreal t = qreal(g) / kGroups;
        p.setPen(QPen(mix(accentAt(t), Qt::white, 0.35), 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(polar(c, kMajorTickInner, angleAt(t)), polar(c, kTickOuter, angleAt(t)));
    }
}

void drawPrint(QPainter& p, int level)
{
    p.setPen(Qt::NoPen);
    for (int g = 1; g <= level; ++g) {
        p.setBrush(g == level ? mix(accentAt(groupEnd(g)), Qt::white, 0.55) : tone::kLitText);
        p.drawPath(markPath(g));
    }
    p.setBrush(accentAt(groupEnd(level)));
    p.drawPath(unitCaption());
    p.setBrush(tone::kLitText);
    p.drawPath(titleCaption());
}
} // namespace

QImage drawGaugeFrame(int level)
{
    QImage image = newCanvas(kSize, kSize);
    QPainter p(&image);
    prepare(p);
    const QPainterPath segments = litSegments(level);
    const qreal end = groupEnd(level);
    drawGlow(p, segments, end);
    drawLitSegments(p, segments);
    drawTrack(p, end);
    drawTicks(p, level);
    drawPrint(p, level);
    return image;
}
