// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel.h"

#include "canvas.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QVector>

namespace {
constexpr int kWidth = 900;
constexpr int kHeight = 506;
// The window stretches the picture to 860 x 525 with 10 px corners; 11 px here lands on about that.
constexpr qreal kCorner = 11.0;
// Where the gauge and the status panel come to lie, in picture pixels.
const QPointF kGaugeCentre(284, 272);
const QPointF kStatusCentre(708, 272);

void fillBase(QPainter& p, const QPainterPath& shape)
{
    QLinearGradient base(0, 0, 0, kHeight);
    base.setColorAt(0.0, QColor(31, 35, 45));
    base.setColorAt(0.12, QColor(24, 27, 35));
    base.setColorAt(1.0, QColor(12, 13, 18));
    p.fillPath(shape, base);

    QRadialGradient gaugeGlow(kGaugeCentre, 330);
    gaugeGlow.setColorAt(0.0, QColor(40, 92, 190, 46));
    gaugeGlow.setColorAt(0.6, QColor(60, 50, 160, 18));
    gaugeGlow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.fillPath(shape, gaugeGlow);

    QRadialGradient statusGlow(kStatusCentre, 260);
    statusGlow.setColorAt(0.0, QColor(120, 70, 200, 16));
    statusGlow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.fillPath(shape, statusGlow);
}

// Fine grain, fixed seed: the picture is the same on every run. One grain per unit, so that a canvas at a higher
// scale shows the same grain, only sharper at its edges.
void addGrain(QImage& image)
{
    // The grain moves a channel by up to three 8-bit steps: a deep canvas has nothing to add here.
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QVector<qint8> grain(kWidth * kHeight);
    quint32 state = 0x2545F491u;
    for (qint8& d : grain) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        d = qint8(int(state % 7) - 3);
    }
    const qreal scale = image.devicePixelRatio();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const int row = qMin(int(y / scale), kHeight - 1) * kWidth;
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(line[x]);
            if (alpha == 0) {
                continue;
            }
            const int d = grain[row + qMin(int(x / scale), kWidth - 1)];
            auto shift = [&](int v) { return qBound(0, v + d * alpha / 255, alpha); };
            line[x] = qRgba(shift(qRed(line[x])), shift(qGreen(line[x])), shift(qBlue(line[x])), alpha);
        }
    }
}

void drawEdges(QPainter& p, const QPainterPath& shape)
{
    // A hairline highlight on the upper edge and a faint rule under the title bar.
    QLinearGradient rim(0, 0, 0, kHeight);
    rim.setColorAt(0.0, QColor(255, 255, 255, 46));
    rim.setColorAt(0.3, QColor(255, 255, 255, 10));
    rim.setColorAt(1.0, QColor(255, 255, 255, 6));
    p.setPen(QPen(QBrush(rim), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);

    QLinearGradient rule(24, 0, kWidth - 24, 0);
    rule.setColorAt(0.0, QColor(255, 255, 255, 0));
    rule.setColorAt(0.5, QColor(255, 255, 255, 20));
    rule.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(QPen(QBrush(rule), 1));
    p.drawLine(QPointF(24, 47.5), QPointF(kWidth - 24, 47.5));
}
} // namespace

QImage drawPanelBackground()
{
    QImage image = newCanvas(kWidth, kHeight);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0.5, 0.5, kWidth - 1.0, kHeight - 1.0), kCorner, kCorner);
    {
        QPainter p(&image);
        prepare(p);
        fillBase(p, shape);
    }
    addGrain(image);
    QPainter p(&image);
    prepare(p);
    drawEdges(p, shape);
    return image;
}
