// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_TITLEICONS_H
#define ORVANE_IMAGEGEN_TITLEICONS_H

#include <QImage>

// Light glyphs for the dark title bar, drawn heavy enough to read at 18 to 21 pixels.
QImage drawTitleSetting();
QImage drawTitleMinimize();
QImage drawTitleClose();

#endif // ORVANE_IMAGEGEN_TITLEICONS_H
