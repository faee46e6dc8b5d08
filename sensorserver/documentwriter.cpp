// SPDX-License-Identifier: GPL-3.0-or-later
#include "documentwriter.h"

#include <QXmlStreamWriter>

namespace {
void writeSensors(QXmlStreamWriter& xml, const QVector<SensorEntry>& sensors)
{
    for (const SensorEntry& sensor : sensors) {
        xml.writeEmptyElement(QStringLiteral("Sensor"));
        xml.writeAttribute(QStringLiteral("Name"), sensor.name);
        xml.writeAttribute(QStringLiteral("SensorType"), sensor.type);
        // Always with a point as decimal separator, whatever the user's locale.
        xml.writeAttribute(QStringLiteral("Value"), QString::number(sensor.value, 'f', sensor.decimals));
        xml.writeAttribute(QStringLiteral("Identifier"), sensor.identifier);
    }
}
} // namespace

QByteArray writeSensorDocument(const QVector<HardwareEntry>& components)
{
    QByteArray document;
    document.reserve(8192);
    QXmlStreamWriter xml(&document);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("Computer"));
    for (const HardwareEntry& hardware : components) {
        xml.writeStartElement(QStringLiteral("Hardware"));
        xml.writeAttribute(QStringLiteral("Name"), hardware.name);
        xml.writeAttribute(QStringLiteral("HardwareType"), hardware.type);
        if (hardware.hasSubHardware) {
            xml.writeStartElement(QStringLiteral("SubHardware"));
            xml.writeAttribute(QStringLiteral("Name"), hardware.subName);
            xml.writeAttribute(QStringLiteral("HardwareType"), hardware.subType);
            writeSensors(xml, hardware.subSensors);
            xml.writeEndElement();
        }
        writeSensors(xml, hardware.sensors);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return document;
}
