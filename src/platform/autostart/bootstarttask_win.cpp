// SPDX-License-Identifier: GPL-3.0-or-later
#include "bootstarttask.h"
#include "logcategories.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>

namespace {
const QString kTaskName = QStringLiteral("OrvaneAutoStart");
constexpr int kWaitMs = 30000;

// schtasks says what went wrong on its own output; the exit code tells whether it did.
bool finishedWell(QProcess& process, QString* error)
{
    if (process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0) {
        return true;
    }
    const QString reason =
        QStringLiteral("schtasks failed: %1")
            .arg(process.error() == QProcess::UnknownError ? QString::fromLocal8Bit(process.readAll()).trimmed()
                                                           : process.errorString());
    qCWarning(lcPlatform).noquote() << reason;
    if (error) {
        *error = reason;
    }
    return false;
}
} // namespace

namespace BootStartTask {
bool create(QString* error)
{
    const QString programPath = QCoreApplication::applicationFilePath();
    const QString arguments = QStringLiteral("--bootstart");
    // The quotes keep a path with blanks together as the task's one program.
    const QString action = QStringLiteral("\"%1\" %2").arg(programPath, arguments);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("schtasks"),
                  {QStringLiteral("/create"),
                   QStringLiteral("/tn"),
                   kTaskName,
                   QStringLiteral("/tr"),
                   action,
                   QStringLiteral("/sc"),
                   QStringLiteral("onlogon"),
                   QStringLiteral("/rl"),
                   QStringLiteral("highest")});
    process.waitForFinished(kWaitMs);
    return finishedWell(process, error);
}

bool remove(QString* error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("schtasks"),
                  {QStringLiteral("/delete"), QStringLiteral("/tn"), kTaskName, QStringLiteral("/f")});
    // Bounded like create and query: a hung schtasks must not freeze the window for good.
    process.waitForFinished(kWaitMs);
    return finishedWell(process, error);
}

bool exists()
{
    QProcess process;
    process.start(QStringLiteral("schtasks"), {QStringLiteral("/query"), QStringLiteral("/tn"), kTaskName});
    if (!process.waitForFinished(kWaitMs)) {
        return false;
    }
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    const QRegularExpression regex(kTaskName);
    return regex.match(output).hasMatch();
}
} // namespace BootStartTask
