// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SENSORSELECTOR_H
#define ORVANE_SENSORSELECTOR_H

#include "hwinfodata.h"

#include <QString>
#include <QStringList>
#include <QVector>

class QComboBox;

// One of the dashboard's three selectors. Its first entry stands for the figure the document rules pick; after it
// comes one entry per sensor of its kind in the latest document. An entry's text is its key, the one the settings
// file keeps; a chosen entry whose sensor the latest reading lacks stays, marked beside its text.
class SensorSelector
{
public:
    explicit SensorSelector(QComboBox* box);

    // One reading's sensors of this kind, and whether they come from a document (a failed reading has none, but
    // the sensors are still there). The entries are rebuilt only when the document's texts changed; the choice
    // stays whatever the reading holds.
    void setReadings(const QVector<ST_SENSOR_READING>& readings, bool fromDocument);
    // The figure to show: `rulesFigure` for the first entry, else the chosen sensor's, 0 while it is missing.
    int figure(int rulesFigure) const;
    // The chosen entry's key: the first entry's text for the first.
    QString chosenKey() const;
    // Chooses the entry with `key`; an empty key chooses the first. A key the latest document does not list is added,
    // marked, and chosen.
    void choose(const QString& key);

private:
    // Lists the latest document's entries, the chosen one and the wanted one, without a signal; the choice stays.
    void rebuild();
    bool isAvailable(const QString& key) const;

    QComboBox* mBox;
    QString mFirstText;
    // The latest document's entries, and this reading's values.
    QStringList mListed;
    QVector<ST_SENSOR_READING> mReadings;
    // An entry about to be chosen, listed whether the document has it or not.
    QString mWanted;
};

#endif // ORVANE_SENSORSELECTOR_H
