// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_COOLER_H
#define ORVANE_IMAGEGEN_COOLER_H

#include <QImage>

// The device link pictures: the cooler in colour with a glowing light ring (linked), and the same drawing as
// grey lines (not linked).
QImage drawCoolerLinked();
QImage drawCoolerOutline();

#endif // ORVANE_IMAGEGEN_COOLER_H
