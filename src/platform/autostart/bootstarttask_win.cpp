#include "bootstarttask.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>

namespace {
const QString kTaskName = QStringLiteral("OrvaneAutoStart");
constexpr int kWaitMs = 30000;
} // namespace

namespace BootStartTask {
void create()
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
}

void remove()
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("schtasks"),
                  {QStringLiteral("/delete"), QStringLiteral("/tn"), kTaskName, QStringLiteral("/f")});
    // Bounded like create and query: a hung schtasks must not freeze the window for good.
    process.waitForFinished(kWaitMs);
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
