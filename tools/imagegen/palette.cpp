// SPDX-License-Identifier: GPL-3.0-or-later
#include "palette.h"

#include <QtGlobal>

namespace {
struct Stop
{
    qreal at;
    QColor colour;
};

const Stop kRamp[] = {
    {0.00, QColor(0, 229, 255)},
    {0.40, QColor(52, 124, 255)},
    {0.70, QColor(160, 80, 255)},
    {1.00, QColor(255, 46, 99)},
};
} // namespace

QColor mix(const QColor& a, const QColor& b, qreal amount)
{
    const qreal k = qBound(0.0, amount, 1.0);
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * k,
                            a.greenF() + (b.greenF() - a.greenF()) * k,
                            a.blueF() + (b.blueF() - a.blueF()) * k,
                            a.alphaF() + (b.alphaF() - a.alphaF()) * k);
}

QColor accentAt(qreal t)
{
    const qreal x = qBound(0.0, t, 1.0);
    const int count = int(sizeof(kRamp) / sizeof(kRamp[0]));
    for (int i = 1; i < count; ++i) {
        if (x <= kRamp[i].at) {
            const qreal span = kRamp[i].at - kRamp[i - 1].at;
            return mix(kRamp[i - 1].colour, kRamp[i].colour, (x - kRamp[i - 1].at) / span);
        }
    }
    return kRamp[count - 1].colour;
}

QGradientStops accentStops()
{
    QGradientStops stops;
    for (const Stop& stop : kRamp) {
        stops.append({stop.at, stop.colour});
    }
    return stops;
}
