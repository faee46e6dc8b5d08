// SPDX-License-Identifier: GPL-3.0-or-later
#include "panelshadow.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QtMath>

PanelShadow::PanelShadow(QWidget* panel, const QColor& color, qreal blurRadius)
    : QWidget(panel->parentWidget()), mPanel(panel), mColor(color), mBlurRadius(blurRadius), mMargin(qCeil(blurRadius))
{
    setObjectName(panel->objectName() + QStringLiteral("_shadow"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    stackUnder(panel);
    panel->installEventFilter(this);
    followPanel();
}

bool PanelShadow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == mPanel && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        followPanel();
    }
    return QWidget::eventFilter(watched, event);
}

void PanelShadow::followPanel()
{
    setGeometry(mPanel->geometry().adjusted(-mMargin, -mMargin, mMargin, mMargin));
}

void PanelShadow::paintEvent(QPaintEvent* /*event*/)
{
    const qreal ratio = devicePixelRatioF();
    if (mShadow.isNull() || mShadow.devicePixelRatio() != ratio || mShadow.size() != size() * ratio) {
        mShadow = renderShadow();
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, mShadow);
}

QPixmap PanelShadow::renderShadow() const
{
    const qreal ratio = devicePixelRatioF();
    QPixmap source(mPanel->size() * ratio);
    source.setDevicePixelRatio(ratio);
    source.fill(Qt::transparent);
    mPanel->render(&source, QPoint(), QRegion(), QWidget::DrawChildren);

    // Qt's own shadow of the panel, thrown so far aside that it does not overlap the panel, and only that part
    // kept: the panel draws itself over it. The scene draws the effect only with its item in view, so the view takes
    // in both and the picture cuts the panel off.
    QGraphicsScene scene;
    scene.setItemIndexMethod(QGraphicsScene::NoIndex);
    QGraphicsPixmapItem* item = scene.addPixmap(source);
    auto* effect = new QGraphicsDropShadowEffect;
    effect->setColor(mColor);
    // The effect blurs in the picture's pixels, the panel's radius is in points.
    effect->setBlurRadius(mBlurRadius * ratio);
    const qreal aside = mPanel->width() + 2 * mMargin;
    effect->setOffset(aside, 0);
    item->setGraphicsEffect(effect);

    QPixmap shadow(size() * ratio);
    shadow.setDevicePixelRatio(ratio);
    shadow.fill(Qt::transparent);
    QPainter painter(&shadow);
    const QRectF view(-mMargin, -mMargin, aside + width(), height());
    scene.render(&painter, view.translated(-aside + mMargin, mMargin), view);
    return shadow;
}
