// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DIAGNOSTICCOPY_H
#define ORVANE_DIAGNOSTICCOPY_H

#include <QString>

// hardInfo.xml, the copy of the last sensor document that users attach to their reports. On Linux it lives in the
// user's runtime folder, in memory; on Windows in the current folder. Not safe for two threads at once.
namespace DiagnosticCopy {
// Where the copy goes; empty when it goes nowhere.
QString path();
// Replaces the copy with `document` followed by an empty line. False when it could not be written; the first such
// failure is logged, later ones are not.
bool write(const QString& document);
} // namespace DiagnosticCopy

#endif // ORVANE_DIAGNOSTICCOPY_H
