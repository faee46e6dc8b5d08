// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_COOLERSHAPE_H
#define ORVANE_IMAGEGEN_COOLERSHAPE_H

#include <QPainterPath>
#include <QVector>

// The parts of the cooler drawing (an AIO pump head on its mounting plate, two tubes, a round display), in
// painting order. The linked and not-linked pictures paint the very same parts, in colour or as grey lines.
namespace cooler {

constexpr int kSize = 512;

enum class Part {
    Tube,
    Plate,
    Screw,
    Fitting,
    Rim,
    LightRing,
    Display,
    DisplayArcLit,
    DisplayArcDim,
};

struct Shape
{
    Part part;
    QPainterPath path;
    bool outlined; // drawn as a line in the not-linked picture
};

QVector<Shape> shapes();

// Where the display and light ring sit, for the effects painted on top of the parts.
QPointF headCentre();
constexpr qreal kRimRadius = 150.0;
constexpr qreal kRingOuter = 141.0;
constexpr qreal kRingInner = 125.0;
constexpr qreal kDisplayRadius = 117.0;

} // namespace cooler

#endif // ORVANE_IMAGEGEN_COOLERSHAPE_H
