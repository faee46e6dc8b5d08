// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SETTINGSFILE_H
#define ORVANE_SETTINGSFILE_H

#include <QString>

// sysconf.ini, which keeps the texts of the dashboard's selectors (figuresettings.h).
namespace SettingsFile {
// Where it is read from: the user's own file once there is one, else the one beside the executable.
QString readPath();
// Where it is written.
QString writePath();
} // namespace SettingsFile

#endif // ORVANE_SETTINGSFILE_H
