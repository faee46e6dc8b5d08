// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_CANVAS_H
#define ORVANE_IMAGEGEN_CANVAS_H

#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QString>

class QPainter;

// Pictures are drawn in units of their 1x pixels. A canvas holds `scale` pixels per unit and a painter on it draws in
// units. Deep canvases hold 16 bits a channel: where a glow fades out its colours then stay smooth instead of
// jumping with every step of an 8-bit alpha, which PNG packs about an eighth tighter.
struct CanvasSetup
{
    qreal scale = 1.0;
    bool deep = false;
};
void setCanvas(const CanvasSetup& setup);

// Every title-bar, menu and dialog icon is drawn on a square of this many units.
constexpr int kIconSize = 48;

// A transparent premultiplied canvas of width x height units; every drawing starts on one of these.
QImage newCanvas(int width, int height);

// Turns on the smoothing every picture of the program is drawn with.
void prepare(QPainter& painter);

// Saves as 8-bit RGBA PNG (colour type 6) whatever the content, packed as tight as zlib goes.
bool savePng(const QImage& image, const QString& path);

// Saves as an opaque baseline JPEG.
bool saveJpeg(const QImage& image, const QString& path);

// Registers DejaVu Sans (book and bold) from the system's font files so the pictures do not depend on the desktop.
// Returns false when the font files cannot be found.
bool loadFonts();

// The DejaVu Sans family at a pixel size, optionally bold and letter-spaced.
QFont dejaVu(qreal pixelSize, bool bold, qreal letterSpacing = 0.0);

// The outline of a text whose ink box is centred on a point.
QPainterPath centredText(const QString& text, const QFont& font, const QPointF& centre);

// A point on a circle; angles in degrees counter-clockwise from three o'clock, as QPainterPath::arcTo takes them.
QPointF polar(const QPointF& centre, qreal radius, qreal degrees);

// A circle as a path.
QPainterPath circlePath(const QPointF& centre, qreal radius);

#endif // ORVANE_IMAGEGEN_CANVAS_H
