// Picks CPU temperature, CPU load and one fan speed out of a sensor document.
#include "hardwareinfo.h"
#include "sensordocument.h"

#include <QDomDocument>
#include <QDomElement>

namespace {
constexpr int kFanMin = 500;
constexpr int kTempMin = 25;
constexpr int kLoadMin = 0;
// The DOM parser recurses once per nesting level, and nesting needs a '<' per level (entities cannot recurse), so
// this bounds the stack it may take. A document that needs the lenient parse is a small one gone slightly wrong.
constexpr int kMaxLenientMarkup = 2048;

// Integer part of the reading, no rounding; anything that does not convert counts as 0.
int sensorValue(const QString& text)
{
    const int dot = text.indexOf(QLatin1Char('.'));
    bool ok = false;
    const int value = (dot < 0 ? text : text.left(dot)).toInt(&ok, 10);
    return ok ? value : 0;
}
} // namespace

bool HardWareInfo::parseSensorValue(QDomNodeList sensorNodes, QString name, QString type, int minValue, int& out)
{
    const int count = sensorNodes.count();
    for (int i = 0; i < count; ++i) {
        // Nodes that are not elements read as empty and never match.
        const QDomElement sensor = sensorNodes.at(i).toElement();
        const QString sensorName = sensor.attribute(QStringLiteral("Name"));
        const bool nameMatches = type.isEmpty() ? sensorName.contains(name) : sensorName == name;
        if (!nameMatches) {
            continue;
        }
        if (!type.isEmpty() && !sensor.attribute(QStringLiteral("SensorType")).contains(type)) {
            continue;
        }
        const int value = sensorValue(sensor.attribute(QStringLiteral("Value")));
        if (value > minValue) {
            out = value;
            return true;
        }
    }
    out = 0;
    return false;
}

bool HardWareInfo::parseServerData(QString rootStr)
{
    QDomDocument doc;
    if (!readSensorDocument(rootStr, &doc)) {
        // The quick read is strict XML. The DOM parser also takes some text that is not quite well-formed (a stray
        // control character in a name, an unknown entity); such a document still gives its readings.
        doc = QDomDocument();
        if (rootStr.count(QLatin1Char('<')) > kMaxLenientMarkup || !doc.setContent(rootStr)) {
            return false;
        }
    }
    if (doc.documentElement().tagName() != QLatin1String("Computer")) {
        return false;
    }

    // Kept across components: a later component only fills in what the earlier ones did not find, except where a
    // chain head runs unconditionally.
    bool isCpuFanOk = false;
    bool isCpuTempOk = false;
    bool isCpuUsedOk = false;

    const QString fan = QStringLiteral("Fan");
    const QString temperature = QStringLiteral("Temperature");
    const QString load = QStringLiteral("Load");

    const QDomNodeList hardwareList = doc.elementsByTagName(QStringLiteral("Hardware"));
    const int hardwareCount = hardwareList.count();
    for (int h = 0; h < hardwareCount; ++h) {
        const QDomElement hardware = hardwareList.at(h).toElement();
        const QString hardwareName = hardware.attribute(QStringLiteral("Name"));
        const QString hardwareType = hardware.attribute(QStringLiteral("HardwareType"));

        QDomNodeList subHardware = hardware.elementsByTagName(QStringLiteral("SubHardware"));
        if (subHardware.isEmpty()) {
            subHardware = hardware.elementsByTagName(QStringLiteral("Subhardware"));
        }

        if (subHardware.count() == 1) {
            const QDomNodeList sensors = subHardware.at(0).childNodes();
            int& cpufan = mstServerData.cpufan;
            isCpuFanOk = parseSensorValue(sensors, QStringLiteral("CPU Fan"), fan, kFanMin, cpufan);
            if (!isCpuFanOk) {
                isCpuFanOk = parseSensorValue(sensors, QStringLiteral("Pump Fan"), fan, kFanMin, cpufan);
            }
            if (!isCpuFanOk) {
                isCpuFanOk = parseSensorValue(sensors, QStringLiteral("System Fan"), fan, kFanMin, cpufan);
            }
            if (!isCpuFanOk) {
                isCpuFanOk = parseSensorValue(sensors, fan, QString(), kFanMin, cpufan);
            }

            int& cputmp = mstServerData.cputmp;
            isCpuTempOk = parseSensorValue(sensors, QStringLiteral("CPU Core"), temperature, kTempMin, cputmp);
            if (!isCpuTempOk) {
                isCpuTempOk =
                    parseSensorValue(sensors, QStringLiteral("Temperature #1"), temperature, kTempMin, cputmp);
            }
            if (!isCpuTempOk) {
                isCpuTempOk = parseSensorValue(sensors, QStringLiteral("CPU"), temperature, kTempMin, cputmp);
            }
            if (!isCpuTempOk) {
                isCpuTempOk = parseSensorValue(sensors, QStringLiteral("System"), temperature, kTempMin, cputmp);
            }
            if (!isCpuTempOk) {
                isCpuTempOk = parseSensorValue(sensors, temperature, QString(), kTempMin, cputmp);
            }
            continue;
        }

        const bool isCpu = hardwareName.contains(QLatin1String("Intel Core")) ||
                           hardwareName.contains(QLatin1String("AMD Ryzen")) ||
                           hardwareType.contains(QLatin1String("Cpu"));
        if (!isCpu) {
            continue;
        }

        const QDomNodeList sensors = hardware.elementsByTagName(QStringLiteral("Sensor"));
        int& cputmp = mstServerData.cputmp;
        if (!isCpuTempOk) {
            isCpuTempOk = parseSensorValue(sensors, QStringLiteral("CPU Package"), temperature, kTempMin, cputmp);
        }
        if (!isCpuTempOk) {
            isCpuTempOk = parseSensorValue(sensors, QStringLiteral("CPU Core #1"), temperature, kTempMin, cputmp);
        }
        if (!isCpuTempOk) {
            isCpuTempOk = parseSensorValue(sensors, QStringLiteral("Core (Tctl/Tdie)"), temperature, kTempMin, cputmp);
        }

        int& cpuload = mstServerData.cpuload;
        const QString cpuTotal = QStringLiteral("CPU Total");
        isCpuUsedOk = parseSensorValue(sensors, cpuTotal, load, kLoadMin, cpuload);
        if (!isCpuUsedOk) {
            isCpuUsedOk = parseSensorValue(sensors, cpuTotal, QString(), kLoadMin, cpuload);
        }
    }
    return true;
}
