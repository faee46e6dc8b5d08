// SPDX-License-Identifier: GPL-3.0-or-later
#include "blur.h"

#include <QImage>
#include <QRgba64>
#include <QVector>

namespace {
// The four channels of a premultiplied pixel of either depth, in any fixed order.
int channel(quint32 px, int c)
{
    return int((px >> (8 * c)) & 0xff);
}

int channel(QRgba64 px, int c)
{
    return int((px >> (16 * c)) & 0xffff);
}

template<typename Pixel>
Pixel fromChannels(const int (&v)[4]);

template<>
quint32 fromChannels<quint32>(const int (&v)[4])
{
    return quint32(v[0]) | quint32(v[1]) << 8 | quint32(v[2]) << 16 | quint32(v[3]) << 24;
}

template<>
QRgba64 fromChannels<QRgba64>(const int (&v)[4])
{
    return QRgba64::fromRgba64(quint64(v[0]) | quint64(v[1]) << 16 | quint64(v[2]) << 32 | quint64(v[3]) << 48);
}

// One box pass over a line of pixels, stride counted in pixels.
template<typename Pixel>
void boxLine(Pixel* line, int count, int stride, int half, QVector<Pixel>& scratch)
{
    scratch.resize(count);
    for (int i = 0; i < count; ++i) {
        scratch[i] = line[i * stride];
    }
    const int window = 2 * half + 1;
    int sum[4] = {0, 0, 0, 0};
    auto add = [&sum](Pixel px, int sign) {
        for (int c = 0; c < 4; ++c) {
            sum[c] += sign * channel(px, c);
        }
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
        int mean[4];
        for (int c = 0; c < 4; ++c) {
            mean[c] = (sum[c] + window / 2) / window;
        }
        line[i * stride] = fromChannels<Pixel>(mean);
    }
}

template<typename Pixel>
void blurPixels(QImage& image, int half)
{
    const int width = image.width();
    const int height = image.height();
    const int stride = image.bytesPerLine() / int(sizeof(Pixel));
    auto* bits = reinterpret_cast<Pixel*>(image.bits());
    QVector<Pixel> scratch;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height; ++y) {
            boxLine(bits + y * stride, width, 1, half, scratch);
        }
        for (int x = 0; x < width; ++x) {
            boxLine(bits + x, height, stride, half, scratch);
        }
    }
}
} // namespace

void blurImage(QImage& image, int radiusUnits)
{
    const int radius = qRound(radiusUnits * image.devicePixelRatio());
    if (radius < 1) {
        return;
    }
    // Three passes of width w spread like a gaussian of sigma ~ w/2; radius is taken as about two sigma.
    const int half = qMax(1, radius / 3);
    if (image.format() == QImage::Format_RGBA64_Premultiplied) {
        blurPixels<QRgba64>(image, half);
        return;
    }
    if (image.format() != QImage::Format_ARGB32_Premultiplied) {
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    blurPixels<quint32>(image, half);
}
