// SPDX-License-Identifier: GPL-3.0-or-later
// Beside the executable, where the program has always kept it.
#include "settingsfile.h"

#include <QCoreApplication>

namespace SettingsFile {
QString readPath()
{
    return writePath();
}

QString writePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/sysconf.ini");
}
} // namespace SettingsFile
