// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_BLUR_H
#define ORVANE_IMAGEGEN_BLUR_H

class QImage;

// Soft glow: three box passes per direction approximate a gaussian of about the given radius, in the canvas's
// units (canvas.h). Pixels beyond the edge count as transparent so a glow fades out instead of smearing the border.
// Takes a premultiplied image, 8 or 16 bits a channel.
void blurImage(QImage& image, int radiusUnits);

#endif // ORVANE_IMAGEGEN_BLUR_H
