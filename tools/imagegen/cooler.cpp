// SPDX-License-Identifier: GPL-3.0-or-later
#include "cooler.h"

#include "blur.h"
#include "canvas.h"
#include "coolershape.h"
#include "palette.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

using namespace cooler;

namespace {
QConicalGradient ringGradient()
{
    QConicalGradient gradient(headCentre(), 90);
    const QGradientStops ramp = accentStops();
    for (const auto& stop : ramp) {
        gradient.setColorAt(stop.first * 0.5, stop.second);
        gradient.setColorAt(1.0 - stop.first * 0.5, stop.second);
    }
    return gradient;
}

QLinearGradient metal(const QRectF& box, const QColor& light, const QColor& dark)
{
    QLinearGradient gradient(box.topLeft(), box.bottomRight());
    gradient.setColorAt(0.0, light);
    gradient.setColorAt(0.55, dark);
    gradient.setColorAt(1.0, dark.lighter(130));
    return gradient;
}

void paintPart(QPainter& p, const Shape& shape)
{
    const QRectF box = shape.path.boundingRect();
    QPen edge(QColor(6, 7, 10), 3);
    p.setPen(edge);
    switch (shape.part) {
    case Part::Tube: {
        QLinearGradient sheen(box.left(), 0, box.right(), 0);
        sheen.setColorAt(0.0, QColor(20, 22, 28));
        sheen.setColorAt(0.35, QColor(62, 68, 80));
        sheen.setColorAt(1.0, QColor(16, 18, 23));
        p.setBrush(sheen);
        break;
    }
    case Part::Plate:
        p.setBrush(metal(box, QColor(58, 63, 74), QColor(22, 25, 31)));
        break;
    case Part::Screw:
        p.setBrush(metal(box, QColor(170, 176, 188), QColor(70, 75, 86)));
        break;
    case Part::Fitting:
        p.setBrush(metal(box, QColor(196, 202, 212), QColor(86, 92, 104)));
        break;
    case Part::Rim:
        p.setBrush(metal(box, QColor(120, 128, 144), QColor(30, 33, 41)));
        break;
    case Part::LightRing:
        p.setPen(Qt::NoPen);
        p.setBrush(ringGradient());
        break;
    case Part::Display: {
        QRadialGradient glass(headCentre() - QPointF(0, 20), kDisplayRadius);
        glass.setColorAt(0.0, QColor(22, 28, 40));
        glass.setColorAt(1.0, QColor(3, 4, 7));
        p.setPen(QPen(QColor(0, 0, 0), 4));
        p.setBrush(glass);
        break;
    }
    case Part::DisplayArcLit: {
        p.setPen(Qt::NoPen);
        // The lit run starts cyan at the lower left (210 degrees) and turns violet towards the top right.
        QConicalGradient arc(headCentre(), 30);
        for (int i = 0; i <= 6; ++i) {
            const qreal k = i / 6.0;
            arc.setColorAt(k * 0.5, accentAt(0.8 * (1.0 - k)));
        }
        p.setBrush(arc);
        break;
    }
    case Part::DisplayArcDim:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 46, 58));
        break;
    }
    p.drawPath(shape.path);
}

void paintGlow(QPainter& p, const QVector<Shape>& parts)
{
    QImage glow = newCanvas(kSize, kSize);
    {
        QPainter g(&glow);
        prepare(g);
        g.setPen(Qt::NoPen);
        for (const Shape& shape : parts) {
            if (shape.part == Part::LightRing) {
                g.setBrush(ringGradient());
                g.drawPath(shape.path);
                g.setPen(QPen(QBrush(ringGradient()), 22));
                g.drawEllipse(headCentre(), kRimRadius + 6, kRimRadius + 6);
            }
        }
    }
    blurImage(glow, 42);
    p.drawImage(0, 0, glow);
    p.drawImage(0, 0, glow);
}

void paintGlare(QPainter& p)
{
    // A soft reflection across the upper left of the display glass.
    const QPointF c = headCentre();
    p.save();
    p.setClipPath(circlePath(c, kDisplayRadius - 2));
    QLinearGradient glare(c.x() - kDisplayRadius, c.y() - kDisplayRadius, c.x(), c.y());
    glare.setColorAt(0.0, QColor(255, 255, 255, 46));
    glare.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glare);
    p.drawEllipse(QPointF(c.x() - 40, c.y() - 70), kDisplayRadius * 1.05, kDisplayRadius * 0.62);
    p.restore();
}
} // namespace

QImage drawCoolerLinked()
{
    QImage image = newCanvas(kSize, kSize);
    QPainter p(&image);
    prepare(p);
    const QVector<Shape> parts = shapes();
    bool glowDone = false;
    for (const Shape& shape : parts) {
        if (shape.part == Part::Rim && !glowDone) {
            paintGlow(p, parts);
            glowDone = true;
        }
        paintPart(p, shape);
    }
    paintGlare(p);
    return image;
}

QImage drawCoolerOutline()
{
    QImage image = newCanvas(kSize, kSize);
    QPainter p(&image);
    prepare(p);
    const QColor line = tone::kOutline;
    QColor body = line;
    body.setAlpha(22);
    for (const Shape& shape : shapes()) {
        if (!shape.outlined) {
            continue;
        }
        // Each part hides the lines of the parts behind it, as in a line drawing.
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.fillPath(shape.path, Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        // Parts too small to carry a line are filled instead: the display's arc.
        const bool solid = shape.part == Part::DisplayArcLit;
        const bool faint = shape.part == Part::DisplayArcDim;
        QColor dim = line;
        dim.setAlpha(90);
        p.setPen(solid || faint ? Qt::NoPen : QPen(line, 8.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(solid ? line : faint ? dim : body);
        p.drawPath(shape.path);
    }
    return image;
}
