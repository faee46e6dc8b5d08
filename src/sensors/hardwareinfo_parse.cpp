// SPDX-License-Identifier: GPL-3.0-or-later
// Picks CPU temperature, CPU load and one fan speed out of a sensor document.
#include "hardwareinfo.h"
#include "sensorwalk.h"

#include <QDomDocument>
#include <QDomElement>

namespace {
// The DOM parser recurses once per nesting level, and nesting needs a '<' per level (entities cannot recurse), so
// this bounds the stack it may take. A document that needs the lenient parse is a small one gone slightly wrong.
constexpr int kMaxLenientMarkup = 2048;
} // namespace

bool HardWareInfo::parseSensorValue(QDomNodeList sensorNodes, QString name, QString type, int minValue, int& out)
{
    const SensorWalk::Step step {name, type, minValue};
    const int count = sensorNodes.count();
    for (int i = 0; i < count; ++i) {
        // Nodes that are not elements read as empty and never match.
        const QDomElement sensor = sensorNodes.at(i).toElement();
        const QString sensorName = sensor.attribute(QStringLiteral("Name"));
        const QString sensorType = sensor.attribute(QStringLiteral("SensorType"));
        const QString value = sensor.attribute(QStringLiteral("Value"));
        const QString tag = sensor.tagName();
        if (step.matches(SensorWalk::Element {tag, sensorName, QStringView(), sensorType, value}, &out)) {
            return true;
        }
    }
    out = 0;
    return false;
}

bool HardWareInfo::parseServerData(QString rootStr)
{
    SensorWalk walk(mstServerData);
    if (!SensorWalk::walkText(rootStr, &walk)) {
        // The quick read is strict XML. The DOM parser also takes some text that is not quite well-formed (a stray
        // control character in a name, an unknown entity); such a document still gives its readings.
        QDomDocument doc;
        if (rootStr.count(QLatin1Char('<')) > kMaxLenientMarkup || !doc.setContent(rootStr)) {
            return false;
        }
        walk = SensorWalk(mstServerData);
        SensorWalk::walkDocument(doc, &walk);
    }
    if (!walk.rootIsComputer()) {
        return false;
    }
    mstServerData = walk.figures();
    mstSensorList = ST_SENSOR_LIST {true, walk.temperatures(), walk.fans(), walk.loads()};
    return true;
}
