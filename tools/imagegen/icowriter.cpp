// SPDX-License-Identifier: GPL-3.0-or-later
#include "icowriter.h"

#include <QByteArray>
#include <QFile>
#include <QImage>

namespace {
void put16(QByteArray& out, quint16 v)
{
    out.append(char(v & 0xff));
    out.append(char(v >> 8));
}

void put32(QByteArray& out, quint32 v)
{
    put16(out, quint16(v & 0xffff));
    put16(out, quint16(v >> 16));
}
} // namespace

bool writeIco(const QImage& source, const QString& path)
{
    if (source.isNull() || source.width() > 256 || source.height() > 256) {
        return false;
    }
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const int maskStride = ((w + 31) / 32) * 4;
    const quint32 xorSize = quint32(w * h * 4);
    const quint32 andSize = quint32(maskStride * h);
    const quint32 dibSize = 40 + xorSize + andSize;

    QByteArray out;
    // ICONDIR
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    // ICONDIRENTRY; 0 stands for 256
    out.append(char(w == 256 ? 0 : w));
    out.append(char(h == 256 ? 0 : h));
    out.append(char(0));
    out.append(char(0));
    put16(out, 1);
    put16(out, 32);
    put32(out, dibSize);
    put32(out, 6 + 16);
    // BITMAPINFOHEADER; the height counts the XOR and AND bitmaps together
    put32(out, 40);
    put32(out, quint32(w));
    put32(out, quint32(2 * h));
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);
    put32(out, xorSize + andSize);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    // XOR pixels, bottom row first, BGRA; fully transparent pixels stay black so the mask path shows nothing.
    for (int y = h - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb px = qAlpha(line[x]) == 0 ? 0u : line[x];
            out.append(char(qBlue(px)));
            out.append(char(qGreen(px)));
            out.append(char(qRed(px)));
            out.append(char(qAlpha(px)));
        }
    }
    // AND mask, bottom row first: a set bit lets the screen show through.
    for (int y = h - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) == 0) {
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            }
        }
        out.append(row);
    }

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    return file.write(out) == out.size() && file.flush();
}
