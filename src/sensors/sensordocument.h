#ifndef ORVANE_SENSORDOCUMENT_H
#define ORVANE_SENSORDOCUMENT_H

#include <QDomDocument>
#include <QString>

// Reads a sensor document into a DOM that holds what the client's rules can look at, and only that: the root,
// every Hardware and sub-component element, every element directly under a sub-component, and the Sensor elements
// inside a component named or typed as a CPU, each with its Name, HardwareType, SensorType and Value. Other elements
// (and text) are left out; their Sensor descendants move up to the nearest element kept. A real document lists
// many sensors no rule reads (disks, graphics, voltages), and building DOM nodes for them is most of the cost.
// False, with `doc` unusable, when the text is not well-formed XML or nests elements more than 64 deep.
bool readSensorDocument(const QString& text, QDomDocument* doc);

#endif // ORVANE_SENSORDOCUMENT_H
