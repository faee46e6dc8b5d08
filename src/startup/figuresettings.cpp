// SPDX-License-Identifier: GPL-3.0-or-later
#include "figuresettings.h"

#include "logcategories.h"
#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace FigureSettings {
QString key(Figure figure)
{
    switch (figure) {
    case Figure::Temperature:
        return QStringLiteral("DevInfo/tem");
    case Figure::Fan:
        return QStringLiteral("DevInfo/fan");
    case Figure::Load:
        break;
    }
    return QStringLiteral("DevInfo/load");
}

Choice read(const QString& path)
{
    const QSettings settings(path, QSettings::IniFormat);
    return Choice {settings.value(key(Figure::Temperature)).toString(),
                   settings.value(key(Figure::Fan)).toString(),
                   settings.value(key(Figure::Load)).toString()};
}

bool save(Figure figure, const QString& text)
{
    const QString path = SettingsFile::writePath();
    const QString before = SettingsFile::readPath();
    if (before != path && QFileInfo::exists(before) && !QFileInfo::exists(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::copy(before, path);
    }
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(key(figure), text);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qCWarning(lcShell).noquote() << "cannot save the choice in" << path;
        return false;
    }
    return true;
}
} // namespace FigureSettings
