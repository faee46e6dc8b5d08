// SPDX-License-Identifier: GPL-3.0-or-later
#include "logcategories.h"

// QtInfoMsg as the lowest level: without it Qt 5 prints a category's debug lines by default.
Q_LOGGING_CATEGORY(lcSensors, "orvane.sensors", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDevice, "orvane.device", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPlatform, "orvane.platform", QtInfoMsg)
Q_LOGGING_CATEGORY(lcShell, "orvane.shell", QtInfoMsg)
