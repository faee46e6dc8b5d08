// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_GAUGE_H
#define ORVANE_IMAGEGEN_GAUGE_H

#include <QImage>

// The unlit gauge: face, bezel, dark segments, printed scale and captions.
QImage drawGaugeBackground();

// The lit overlay for a level 0..11 (pictures 1, 2, 3, 4, 6 ... 20): transparent except for what lights up.
QImage drawGaugeFrame(int level);

#endif // ORVANE_IMAGEGEN_GAUGE_H
