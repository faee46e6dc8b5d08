// SPDX-License-Identifier: GPL-3.0-or-later
#include "blur.h"

#include <QImage>
#include <QVector>

namespace {
// One box pass over a line of premultiplied pixels, stride counted in pixels.
void boxLine(quint32* line, int count, int stride, int half, QVector<quint32>& scratch)
{
    scratch.resize(count);
    for (int i = 0; i < count; ++i) {
        scratch[i] = line[i * stride];
    }
    const int window = 2 * half + 1;
    int sum[4] = {0, 0, 0, 0};
    auto add = [&sum](quint32 px, int sign) {
        sum[0] += sign * int(px & 0xff);
        sum[1] += sign * int((px >> 8) & 0xff);
        sum[2] += sign * int((px >> 16) & 0xff);
        sum[3] += sign * int(px >> 24);
    };
    for (int i = 0; i < half && i < count; ++i) {
        add(scratch[i], 1);
    }
    for (int i = 0; i < count; ++i) {
        if (i + half < count) {
            add(scratch[i + half], 1);
        }
        if (i - half - 1 >= 0) {
            add(scratch[i - half - 1], -1);
        }
        quint32 px = 0;
        for (int c = 3; c >= 0; --c) {
            px = (px << 8) | quint32((sum[c] + window / 2) / window);
        }
        line[i * stride] = px;
    }
}
} // namespace

void blurImage(QImage& image, int radius)
{
    if (radius < 1) {
        return;
    }
    if (image.format() != QImage::Format_ARGB32_Premultiplied) {
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    // Three passes of width w spread like a gaussian of sigma ~ w/2; radius is taken as about two sigma.
    const int half = qMax(1, radius / 3);
    const int width = image.width();
    const int height = image.height();
    const int stride = image.bytesPerLine() / 4;
    auto* bits = reinterpret_cast<quint32*>(image.bits());
    QVector<quint32> scratch;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height; ++y) {
            boxLine(bits + y * stride, width, 1, half, scratch);
        }
        for (int x = 0; x < width; ++x) {
            boxLine(bits + x, height, stride, half, scratch);
        }
    }
}
