// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DOCUMENTWRITER_H
#define ORVANE_DOCUMENTWRITER_H

#include "sensorlayout.h"

#include <QByteArray>
#include <QVector>

// The sensor document as UTF-8 XML:
//
//     <Computer>
//       <Hardware Name="…" HardwareType="Motherboard">
//         <SubHardware Name="Fans" HardwareType="SuperIO">
//           <Sensor Name="CPU Fan" SensorType="Fan" Value="1150" Identifier="nct6798/fan2"/>
//       …
QByteArray writeSensorDocument(const QVector<HardwareEntry>& components);

#endif // ORVANE_DOCUMENTWRITER_H
