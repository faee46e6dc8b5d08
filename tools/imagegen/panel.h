// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_PANEL_H
#define ORVANE_IMAGEGEN_PANEL_H

#include <QImage>

// The background of the whole window: a dark rounded panel with a soft glow behind the gauge.
QImage drawPanelBackground();

#endif // ORVANE_IMAGEGEN_PANEL_H
