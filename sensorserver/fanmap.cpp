// SPDX-License-Identifier: GPL-3.0-or-later
#include "fanmap.h"

#include "sysfsfile.h"

#include <QList>
#include <QStandardPaths>

namespace {
constexpr int kMaxFileBytes = 64 * 1024;

QString unquoted(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
        value = value.mid(1, value.size() - 2).trimmed();
    }
    return value;
}
} // namespace

FanMap FanMap::load(const QString& path)
{
    FanMap map;
    QByteArray text;
    if (path.isEmpty() || !SysfsFile::readText(path, &text, kMaxFileBytes)) {
        return map;
    }
    QString section;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';'))) {
            continue;
        }
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0 || section.isEmpty()) {
            continue;
        }
        const QString key = line.left(equals).trimmed().toLower();
        const QString value = unquoted(line.mid(equals + 1));
        if (key.startsWith(QLatin1String("fan")) && !value.isEmpty()) {
            map.mNames.insert(section + QLatin1Char('/') + key, value);
        }
    }
    return map;
}

QString FanMap::defaultPath()
{
    const QString configDir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return configDir.isEmpty() ? QString() : configDir + QStringLiteral("/orvane/sensors.ini");
}

QString FanMap::name(const QString& chip, int index) const
{
    return mNames.value(chip + QStringLiteral("/fan") + QString::number(index));
}
