// SPDX-License-Identifier: GPL-3.0-or-later
#include "logo.h"

#include "canvas.h"
#include "palette.h"

#include <QConicalGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QtMath>

namespace {
constexpr int kBlades = 5;

// One swept blade between the hub and the ring, in units of the ring's inner radius.
QPainterPath blade(const QPointF& c, qreal unit, qreal baseDeg)
{
    const int steps = 24;
    const qreal hub = 0.26;
    const qreal tip = 0.9;
    const qreal sweep = 62.0; // how far the blade curls back from hub to tip
    auto lead = [&](qreal r) { return baseDeg - sweep * (r - hub) / (tip - hub); };
    auto width = [&](qreal r) { return 40.0 - 10.0 * (r - hub) / (tip - hub); };
    QPainterPath path;
    for (int i = 0; i <= steps; ++i) {
        const qreal r = hub + (tip - hub) * i / steps;
        const QPointF pt = polar(c, r * unit, lead(r));
        i == 0 ? path.moveTo(pt) : path.lineTo(pt);
    }
    // Round off the tip along the ring.
    const qreal tipFrom = lead(tip);
    const qreal tipTo = tipFrom + width(tip);
    const QRectF tipBox(c.x() - tip * unit, c.y() - tip * unit, 2 * tip * unit, 2 * tip * unit);
    path.arcTo(tipBox, tipFrom, tipTo - tipFrom);
    for (int i = steps; i >= 0; --i) {
        const qreal r = hub + (tip - hub) * i / steps;
        path.lineTo(polar(c, r * unit, lead(r) + width(r)));
    }
    path.closeSubpath();
    return path;
}

QConicalGradient ringGradient(const QPointF& c)
{
    QConicalGradient gradient(c, 90);
    const QGradientStops ramp = accentStops();
    for (const auto& stop : ramp) {
        gradient.setColorAt(stop.first * 0.5, stop.second);
        gradient.setColorAt(1.0 - stop.first * 0.5, stop.second);
    }
    return gradient;
}

void drawMark(QPainter& p, const QPointF& c, qreal radius)
{
    const qreal thickness = radius * 0.24;
    const qreal inner = radius - thickness;
    p.setPen(Qt::NoPen);
    p.setBrush(ringGradient(c));
    p.drawPath(circlePath(c, radius).subtracted(circlePath(c, inner)));

    QRadialGradient bladeFill(c, inner);
    bladeFill.setColorAt(0.0, QColor(255, 255, 255));
    bladeFill.setColorAt(1.0, QColor(200, 236, 255));
    QPainterPath fan;
    for (int i = 0; i < kBlades; ++i) {
        fan.addPath(blade(c, inner, 90.0 + i * 360.0 / kBlades));
    }
    fan = fan.simplified().united(circlePath(c, inner * 0.3));
    p.setBrush(bladeFill);
    p.drawPath(fan);
    p.setBrush(accentAt(0.0).darker(160));
    p.drawEllipse(c, inner * 0.13, inner * 0.13);
}

void drawTileBackground(QPainter& p, const QRectF& box, qreal cornerRadius)
{
    QRadialGradient bg(box.center() - QPointF(0, box.height() * 0.12), box.width() * 0.75);
    bg.setColorAt(0.0, QColor(34, 40, 54));
    bg.setColorAt(1.0, QColor(9, 11, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(box, cornerRadius, cornerRadius);
}
} // namespace

QImage drawLogo(int size)
{
    QImage image = newCanvas(size, size);
    QPainter p(&image);
    prepare(p);
    drawTileBackground(p, QRectF(0, 0, size, size), 0);
    drawMark(p, QPointF(size / 2.0, size / 2.0), size * 0.41);
    return image;
}

QImage drawLogoTile(int size)
{
    QImage image = newCanvas(size, size);
    QPainter p(&image);
    prepare(p);
    const QRectF box(0.5, 0.5, size - 1.0, size - 1.0);
    drawTileBackground(p, box, size * 0.2);
    drawMark(p, QPointF(size / 2.0, size / 2.0), size * 0.4);
    return image;
}
