// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_LOGO_H
#define ORVANE_IMAGEGEN_LOGO_H

#include <QImage>

// The program's mark: a bold ring around a five-bladed fan, on a dark tile.
// The JPEG logo fills its square; the icon tile has rounded, transparent corners.
QImage drawLogo(int size);
QImage drawLogoTile(int size);

#endif // ORVANE_IMAGEGEN_LOGO_H
