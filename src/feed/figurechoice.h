// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_FIGURECHOICE_H
#define ORVANE_FIGURECHOICE_H

#include "hwinfodata.h"

#include <QString>
#include <QVector>

// Which figure of one kind the display shows: the one the document rules pick, or one sensor of the latest reading,
// by its selector key ("<element above> / <sensor>"), as the settings file keeps it.
class FigureChoice
{
public:
    // The keys that stand for the rules' own figures: the selectors' first entries.
    static const QString kRulesTemperature;
    static const QString kRulesFan;
    static const QString kRulesLoad;

    explicit FigureChoice(const QString& rulesKey) : mRulesKey(rulesKey) { }

    // An empty key, or the rules' key, chooses the rules' figure.
    void choose(const QString& key) { mKey = key == mRulesKey ? QString() : key; }
    bool isRules() const { return mKey.isEmpty(); }
    QString key() const { return isRules() ? mRulesKey : mKey; }
    // The rules' figure, or the chosen sensor's among `readings`: 0 while the reading lacks it.
    int figure(int rulesFigure, const QVector<ST_SENSOR_READING>& readings) const;

private:
    QString mRulesKey;
    QString mKey;
};

#endif // ORVANE_FIGURECHOICE_H
