// SPDX-License-Identifier: GPL-3.0-or-later
#include "bootstarttask.h"
#include "desktopentry.h"
#include "logcategories.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

// The log-on entry is an XDG autostart file that every desktop following the freedesktop rules runs at log-on.
namespace {
const QString kEntryName = QStringLiteral("OrvaneAutoStart.desktop");
const QString kOwnerKey = QStringLiteral("X-Orvane-AutoStart");

QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart/") +
           kEntryName;
}

QMap<QString, QString> readEntry(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    return DesktopEntry::parseMainGroup(QString::fromUtf8(file.readAll()));
}

bool failed(const QString& reason, QString* error)
{
    qCWarning(lcPlatform).noquote() << reason;
    if (error) {
        *error = reason;
    }
    return false;
}

bool isOurs(const QMap<QString, QString>& entry)
{
    return entry.value(kOwnerKey) == QLatin1String("true");
}

// Desktops switch an entry off without deleting it.
bool isEnabled(const QMap<QString, QString>& entry)
{
    return entry.value(QStringLiteral("Hidden")) != QLatin1String("true") &&
           entry.value(QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1String("false");
}

// An entry left behind by a copy of the program elsewhere would start that one, not this one.
bool startsThisProgram(const QMap<QString, QString>& entry)
{
    const QStringList exec = DesktopEntry::splitExec(entry.value(QStringLiteral("Exec")));
    return exec == QStringList {QCoreApplication::applicationFilePath(), QStringLiteral("--bootstart")};
}
} // namespace

namespace BootStartTask {
bool create(QString* error)
{
    const QString path = entryPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return failed(QStringLiteral("cannot create the autostart folder %1").arg(folder), error);
    }
    const QString exec =
        DesktopEntry::quoteExecArgument(QCoreApplication::applicationFilePath()) + QStringLiteral(" --bootstart");
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Orvane\n"
                                        "Comment=Shows CPU temperature, load and fan speed on the cooler's display\n"
                                        "Exec=%1\n"
                                        "Icon=orvane\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n"
                                        "%2=true\n")
                             .arg(DesktopEntry::escapeValue(exec), kOwnerKey);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        return failed(QStringLiteral("cannot write the autostart entry %1: %2").arg(path, file.errorString()), error);
    }
    return true;
}

bool remove(QString* error)
{
    const QString path = entryPath();
    // Someone else's file of the same name is not ours to delete.
    if (!isOurs(readEntry(path))) {
        return true;
    }
    QFile file(path);
    if (!file.remove()) {
        return failed(QStringLiteral("cannot delete the autostart entry %1: %2").arg(path, file.errorString()), error);
    }
    return true;
}

bool exists()
{
    const QMap<QString, QString> entry = readEntry(entryPath());
    return isOurs(entry) && isEnabled(entry) && startsThisProgram(entry);
}
} // namespace BootStartTask
