// SPDX-License-Identifier: GPL-3.0-or-later
#include "referencewalk.h"

#include <QDomDocument>
#include <QDomElement>
#include <QVector>
#include <QXmlStreamReader>

namespace {
// Descendant elements of `root` (not `root` itself) with the tag `tag`, in document order.
QVector<QDomElement> descendants(const QDomNode& root, const QString& tag)
{
    QVector<QDomElement> found;
    QVector<QDomNode> stack;
    for (QDomNode child = root.lastChild(); !child.isNull(); child = child.previousSibling()) {
        stack.append(child);
    }
    while (!stack.isEmpty()) {
        const QDomNode node = stack.takeLast();
        if (node.isElement() && node.toElement().tagName() == tag) {
            found.append(node.toElement());
        }
        for (QDomNode child = node.lastChild(); !child.isNull(); child = child.previousSibling()) {
            stack.append(child);
        }
    }
    return found;
}

QVector<QDomElement> childElements(const QDomNode& parent)
{
    QVector<QDomElement> children;
    for (QDomNode child = parent.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.isElement()) {
            children.append(child.toElement());
        }
    }
    return children;
}

int readingOf(const QDomElement& sensor)
{
    const QString text = sensor.attribute(QStringLiteral("Value"));
    bool ok = false;
    const int value = text.section(QLatin1Char('.'), 0, 0).toInt(&ok, 10);
    return ok ? value : 0;
}

// One step of a chain: the first candidate that fits, or 0 and false.
bool lookup(const QVector<QDomElement>& candidates, const char* name, const char* type, int above, int* target)
{
    const QString wanted = QString::fromLatin1(name);
    const QString kind = QString::fromLatin1(type);
    for (const QDomElement& sensor : candidates) {
        const QString sensorName = sensor.attribute(QStringLiteral("Name"));
        bool fits;
        if (kind.isEmpty()) {
            fits = sensorName.indexOf(wanted) >= 0;
        } else {
            fits = sensorName == wanted && sensor.attribute(QStringLiteral("SensorType")).indexOf(kind) >= 0;
        }
        if (fits && readingOf(sensor) > above) {
            *target = readingOf(sensor);
            return true;
        }
    }
    *target = 0;
    return false;
}

// Deepest element nesting of well-formed text (the root is 1), or -1 when the strict reader refuses the text.
int nestingDepth(const QString& text)
{
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    int depth = 0;
    int deepest = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            deepest = qMax(deepest, ++depth);
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return reader.hasError() ? -1 : deepest;
}
} // namespace

bool referenceWalk(const QString& text, ReferenceReading* reading)
{
    // Strict XML 1.0 without namespaces (a prefix is part of the tag, declared or not), at most 64 levels deep.
    // Other text still counts when the DOM's own, more lenient parser takes it, but only with at most 2048 '<':
    // that parser recurses per level.
    QDomDocument doc;
    bool read = false;
    const int depth = nestingDepth(text);
    if (depth >= 0 && depth <= 64) {
        QXmlStreamReader reader(text);
        reader.setNamespaceProcessing(false);
        read = doc.setContent(&reader, false);
    }
    if (!read) {
        doc = QDomDocument();
        if (text.count(QLatin1Char('<')) > 2048 || !doc.setContent(text)) {
            return false;
        }
    }
    if (doc.documentElement().tagName() != QLatin1String("Computer")) {
        return false;
    }

    bool fanOk = false;
    bool tempOk = false;
    bool loadOk = false;
    for (const QDomElement& hardware : descendants(doc, QStringLiteral("Hardware"))) {
        QVector<QDomElement> subs = descendants(hardware, QStringLiteral("SubHardware"));
        if (subs.isEmpty()) {
            subs = descendants(hardware, QStringLiteral("Subhardware"));
        }
        if (subs.size() == 1) {
            const QVector<QDomElement> sensors = childElements(subs.first());
            const char* fanChain[][2] = {{"CPU Fan", "Fan"}, {"Pump Fan", "Fan"}, {"System Fan", "Fan"}, {"Fan", ""}};
            fanOk = false;
            for (const auto& step : fanChain) {
                fanOk = lookup(sensors, step[0], step[1], 500, &reading->cpufan);
                if (fanOk) {
                    break;
                }
            }
            const char* tempChain[][2] = {{"CPU Core", "Temperature"},
                                          {"Temperature #1", "Temperature"},
                                          {"CPU", "Temperature"},
                                          {"System", "Temperature"},
                                          {"Temperature", ""}};
            tempOk = false;
            for (const auto& step : tempChain) {
                tempOk = lookup(sensors, step[0], step[1], 25, &reading->cputmp);
                if (tempOk) {
                    break;
                }
            }
            continue;
        }

        const QString name = hardware.attribute(QStringLiteral("Name"));
        const QString type = hardware.attribute(QStringLiteral("HardwareType"));
        if (name.indexOf(QLatin1String("Intel Core")) < 0 && name.indexOf(QLatin1String("AMD Ryzen")) < 0 &&
            type.indexOf(QLatin1String("Cpu")) < 0) {
            continue;
        }
        const QVector<QDomElement> sensors = descendants(hardware, QStringLiteral("Sensor"));
        const char* cpuTempChain[] = {"CPU Package", "CPU Core #1", "Core (Tctl/Tdie)"};
        for (const char* step : cpuTempChain) {
            if (!tempOk) {
                tempOk = lookup(sensors, step, "Temperature", 25, &reading->cputmp);
            }
        }
        loadOk = lookup(sensors, "CPU Total", "Load", 0, &reading->cpuload);
        if (!loadOk) {
            loadOk = lookup(sensors, "CPU Total", "", 0, &reading->cpuload);
        }
    }
    return true;
}
