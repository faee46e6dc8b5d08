// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas.h"

#include <QFontDatabase>
#include <QImageWriter>
#include <QPainter>
#include <QStringList>
#include <QtMath>

namespace {
QString gFamily = QStringLiteral("DejaVu Sans");
CanvasSetup gSetup;

const QStringList& fontDirs()
{
    static const QStringList dirs = {QStringLiteral("/usr/share/fonts/truetype/dejavu"),
                                     QStringLiteral("/usr/share/fonts/dejavu"),
                                     QStringLiteral("/usr/share/fonts/TTF"),
                                     QStringLiteral("/usr/local/share/fonts")};
    return dirs;
}

bool addFont(const QString& fileName)
{
    const QByteArray extra = qgetenv("ORVANE_FONT_DIR");
    QStringList dirs = fontDirs();
    if (!extra.isEmpty()) {
        dirs.prepend(QString::fromLocal8Bit(extra));
    }
    for (const QString& dir : dirs) {
        const int id = QFontDatabase::addApplicationFont(dir + QLatin1Char('/') + fileName);
        if (id >= 0) {
            const QStringList families = QFontDatabase::applicationFontFamilies(id);
            if (!families.isEmpty()) {
                gFamily = families.first();
            }
            return true;
        }
    }
    return false;
}
} // namespace

void setCanvas(const CanvasSetup& setup)
{
    gSetup = setup;
}

QImage newCanvas(int width, int height)
{
    QImage image(qRound(width * gSetup.scale),
                 qRound(height * gSetup.scale),
                 gSetup.deep ? QImage::Format_RGBA64_Premultiplied : QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(gSetup.scale);
    image.fill(Qt::transparent);
    return image;
}

void prepare(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
}

bool savePng(const QImage& image, const QString& path)
{
    QImageWriter writer(path, "png");
    writer.setQuality(0); // zlib's level 9; PNG has no loss to trade
    return writer.write(image.convertToFormat(QImage::Format_ARGB32));
}

bool saveJpeg(const QImage& image, const QString& path)
{
    return image.convertToFormat(QImage::Format_RGB32).save(path, "JPG", 95);
}

bool loadFonts()
{
    return addFont(QStringLiteral("DejaVuSans.ttf")) && addFont(QStringLiteral("DejaVuSans-Bold.ttf"));
}

QFont dejaVu(qreal pixelSize, bool bold, qreal letterSpacing)
{
    QFont font(gFamily);
    font.setPixelSize(qRound(pixelSize));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    if (letterSpacing != 0.0) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    }
    return font;
}

QPainterPath centredText(const QString& text, const QFont& font, const QPointF& centre)
{
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF box = path.boundingRect();
    path.translate(centre - box.center());
    return path;
}

QPointF polar(const QPointF& centre, qreal radius, qreal degrees)
{
    const qreal rad = qDegreesToRadians(degrees);
    return {centre.x() + radius * qCos(rad), centre.y() - radius * qSin(rad)};
}

QPainterPath circlePath(const QPointF& centre, qreal radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}
