// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_LOGCATEGORIES_H
#define ORVANE_LOGCATEGORIES_H

#include <QLoggingCategory>

// One category per layer. Info and warnings show by default; debug lines only when QT_LOGGING_RULES asks for
// them (for example QT_LOGGING_RULES="orvane.*.debug=true"). Each state change is logged once, when it happens,
// never once per reading.
Q_DECLARE_LOGGING_CATEGORY(lcSensors)
Q_DECLARE_LOGGING_CATEGORY(lcDevice)
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcShell)

#endif // ORVANE_LOGCATEGORIES_H
