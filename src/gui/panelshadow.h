// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_PANELSHADOW_H
#define ORVANE_PANELSHADOW_H

#include <QColor>
#include <QPixmap>
#include <QWidget>

// Qt's drop shadow behind a panel, blurred once and kept as a picture. A QGraphicsDropShadowEffect on the panel itself
// renders the whole panel and blurs it again whenever any child repaints, down to one readout changing a digit.
// Sits under the panel in the panel's parent and follows its geometry; a new size blurs it anew.
class PanelShadow : public QWidget
{
    Q_OBJECT

public:
    PanelShadow(QWidget* panel, const QColor& color, qreal blurRadius);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void followPanel();
    QPixmap renderShadow() const;

    QWidget* mPanel;
    QColor mColor;
    qreal mBlurRadius;
    int mMargin;
    QPixmap mShadow;
};

#endif // ORVANE_PANELSHADOW_H
