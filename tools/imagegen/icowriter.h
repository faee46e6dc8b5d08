// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_ICOWRITER_H
#define ORVANE_IMAGEGEN_ICOWRITER_H

#include <QString>

class QImage;

// Writes a one-image Windows icon: a 32-bit BITMAPINFOHEADER DIB with alpha, its XOR pixels and the 1-bit AND
// mask that older renderers use. The image must be at most 256 x 256.
bool writeIco(const QImage& image, const QString& path);

#endif // ORVANE_IMAGEGEN_ICOWRITER_H
