// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_IMAGEGEN_CANVAS_H
#define ORVANE_IMAGEGEN_CANVAS_H

#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QString>

class QPainter;

// A transparent premultiplied canvas; every drawing starts on one of these.
QImage newCanvas(int width, int height);

// Turns on the smoothing every picture of the program is drawn with.
void prepare(QPainter& painter);

// Saves as 8-bit RGBA PNG (colour type 6) whatever the content.
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
