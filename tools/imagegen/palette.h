// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_PALETTE_H
#define ORVANE_IMAGEGEN_PALETTE_H

#include <QColor>
#include <QGradientStops>

// The program's accent runs from cyan through blue and violet to a hot pink-red, low to high.
QColor accentAt(qreal t);

// The same ramp as gradient stops over 0..1.
QGradientStops accentStops();

// Mixes a colour with another by a fraction of the second.
QColor mix(const QColor& a, const QColor& b, qreal amount);

namespace tone {
const QColor kGlyph(242, 244, 247);
const QColor kFaceDark(11, 13, 17);
const QColor kFace(24, 28, 36);
const QColor kUnlitText(125, 133, 146);
const QColor kLitText(244, 246, 250);
const QColor kOutline(139, 145, 154);
} // namespace tone

#endif // ORVANE_IMAGEGEN_PALETTE_H
