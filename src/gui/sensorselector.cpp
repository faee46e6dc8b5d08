// SPDX-License-Identifier: GPL-3.0-or-later
#include "sensorselector.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QSignalBlocker>

namespace {
constexpr int kKeyRole = Qt::UserRole;
const QString kUnavailable = QStringLiteral(" (unavailable)");
// As the form's style sheet draws it.
constexpr int kScrollBarWidth = 10;
// Room on both sides of an entry's text.
constexpr int kItemMargins = 24;
} // namespace

SensorSelector::SensorSelector(QComboBox* box) : mBox(box), mFirstText(box->itemText(0))
{
    mBox->setItemData(0, mFirstText, kKeyRole);
    // The box's own rule for its list loses its background under the panels' style sheets (white on light grey);
    // the same sheet on the list itself holds.
    mBox->view()->setStyleSheet(mBox->styleSheet());
}

void SensorSelector::setReadings(const QVector<ST_SENSOR_READING>& readings, bool fromDocument)
{
    const bool wasAvailable = isAvailable(chosenKey());
    mReadings = readings;
    QStringList listed;
    listed.reserve(readings.size());
    for (const ST_SENSOR_READING& reading : readings) {
        listed << reading.text;
    }
    // Most readings list what the last one did: then only a change of the chosen sensor's presence shows.
    if (fromDocument && listed != mListed) {
        mListed = listed;
        rebuild();
    } else if (isAvailable(chosenKey()) != wasAvailable) {
        rebuild();
    }
}

int SensorSelector::figure(int rulesFigure) const
{
    if (mBox->currentIndex() <= 0) {
        return rulesFigure;
    }
    const QString key = chosenKey();
    for (const ST_SENSOR_READING& reading : mReadings) {
        if (reading.text == key) {
            return reading.value;
        }
    }
    return 0;
}

QString SensorSelector::chosenKey() const
{
    return mBox->currentIndex() <= 0 ? mFirstText : mBox->currentData(kKeyRole).toString();
}

void SensorSelector::choose(const QString& key)
{
    const bool first = key.isEmpty() || key == mFirstText;
    mWanted = first ? QString() : key;
    rebuild();
    // Not quietly: the entry changes as if picked (whoever wants it quiet blocks the box's signals).
    mBox->setCurrentIndex(first ? 0 : mBox->findData(key, kKeyRole));
    mWanted.clear();
    // An entry kept only while it was chosen goes now.
    rebuild();
}

void SensorSelector::rebuild()
{
    const QString chosen = chosenKey();
    const QSignalBlocker quiet(mBox);
    while (mBox->count() > 1) {
        mBox->removeItem(mBox->count() - 1);
    }
    QStringList keys = mListed;
    // The choice never changes by itself: a sensor that went away stays, marked, while it is chosen.
    for (const QString& kept : {chosen, mWanted}) {
        if (!kept.isEmpty() && kept != mFirstText && !keys.contains(kept)) {
            keys << kept;
        }
    }
    int current = 0;
    for (const QString& key : qAsConst(keys)) {
        mBox->addItem(isAvailable(key) ? key : key + kUnavailable, key);
        if (key == chosen) {
            current = mBox->count() - 1;
        }
    }
    mBox->setCurrentIndex(current);
    // The list opens as wide as its longest entry, not cut to the box's width.
    QAbstractItemView* list = mBox->view();
    const QFontMetrics metrics(list->font());
    int widest = 0;
    for (int i = 0; i < mBox->count(); ++i) {
        widest = qMax(widest, metrics.horizontalAdvance(mBox->itemText(i)));
    }
    list->setMinimumWidth(widest + 2 * list->frameWidth() + kScrollBarWidth + kItemMargins);
}

bool SensorSelector::isAvailable(const QString& key) const
{
    if (key == mFirstText) {
        return true;
    }
    for (const ST_SENSOR_READING& reading : mReadings) {
        if (reading.text == key) {
            return true;
        }
    }
    return false;
}
