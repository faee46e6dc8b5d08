// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DASHBOARDSTYLES_H
#define ORVANE_DASHBOARDSTYLES_H

#include <QString>

// Gauge pictures for main_dbd_bgi: 0..11 rise through the twelve fan-speed steps, 12..22 fall back for the sweep.
constexpr int kDbdArraySize = 23;
extern const char* const dbdArray[kDbdArraySize];

// Link-state pictures for main_img_linkstate.
extern const QString kLinkStateNotLinked;
extern const QString kLinkStateLinked;

#endif // ORVANE_DASHBOARDSTYLES_H
