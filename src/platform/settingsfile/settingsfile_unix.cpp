// SPDX-License-Identifier: GPL-3.0-or-later
// In the user's configuration folder: the folder beside an installed program is not the user's to write.
#include "settingsfile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace SettingsFile {
QString readPath()
{
    const QString own = writePath();
    return QFileInfo::exists(own) ? own : QCoreApplication::applicationDirPath() + QStringLiteral("/sysconf.ini");
}

QString writePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/orvane/sysconf.ini");
}
} // namespace SettingsFile
