// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SYSTEMINFO_H
#define ORVANE_SYSTEMINFO_H

#include <QString>

// Names of the machine's parts as a user knows them.
namespace SystemInfo {
// The processor's model from /proc/cpuinfo without trademarks and clock, e.g. "Intel Core i7-9700K". "CPU" when
// the model is not listed.
QString cpuModel(const QString& procRoot);
// The mainboard's maker and model from the DMI table, e.g. "ASUSTeK COMPUTER INC. PRIME Z390-A". "Mainboard" when
// the firmware does not say.
QString boardName(const QString& sysfsRoot);
// Text from the hardware made safe for the document: printable, single-spaced, of reasonable length.
QString cleanText(const QString& text);
} // namespace SystemInfo

#endif // ORVANE_SYSTEMINFO_H
