// SPDX-License-Identifier: GPL-3.0-or-later
#include "figurechoice.h"

const QString FigureChoice::kRulesTemperature = QStringLiteral("CPU Temperature");
const QString FigureChoice::kRulesFan = QStringLiteral("Fan Speed");
const QString FigureChoice::kRulesLoad = QStringLiteral("CPU Load");

int FigureChoice::figure(int rulesFigure, const QVector<ST_SENSOR_READING>& readings) const
{
    if (isRules()) {
        return rulesFigure;
    }
    for (const ST_SENSOR_READING& reading : readings) {
        if (reading.text == mKey) {
            return reading.value;
        }
    }
    return 0;
}
