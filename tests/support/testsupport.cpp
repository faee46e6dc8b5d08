// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <sys/resource.h>

namespace TestSupport {
QString binaryDir()
{
    const QString fromEnv = QProcessEnvironment::systemEnvironment().value(QStringLiteral("ORVANE_BINARY_DIR"));
    return fromEnv.isEmpty() ? QStringLiteral(ORVANE_TEST_BINARY_DIR) : fromEnv;
}

QString fixturesDir()
{
    return QStringLiteral(ORVANE_TEST_FIXTURES);
}

QList<qint64> processesOf(const QString& program)
{
    QList<qint64> pids;
    const QString wanted = QFileInfo(program).canonicalFilePath();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (isPid && QFileInfo(QStringLiteral("/proc/%1/exe").arg(entry)).symLinkTarget() == wanted) {
            pids << pid;
        }
    }
    return pids;
}

DescriptorsExhausted::DescriptorsExhausted(qint64 pid) : mPid(pid)
{
    const QStringList open =
        QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    rlim_t lowestFree = 0;
    while (open.contains(QString::number(lowestFree))) {
        ++lowestFree;
    }
    struct rlimit limit = {};
    if (open.isEmpty() || ::prlimit(pid_t(pid), RLIMIT_NOFILE, nullptr, &limit) != 0) {
        return;
    }
    mLimit[0] = limit.rlim_cur;
    mLimit[1] = limit.rlim_max;
    const struct rlimit tight = {lowestFree, limit.rlim_max};
    mOk = ::prlimit(pid_t(pid), RLIMIT_NOFILE, &tight, nullptr) == 0;
}

void DescriptorsExhausted::restore()
{
    if (mOk) {
        const struct rlimit limit = {rlim_t(mLimit[0]), rlim_t(mLimit[1])};
        ::prlimit(pid_t(mPid), RLIMIT_NOFILE, &limit, nullptr);
        mOk = false;
    }
}

QString startPrivateBus(QProcess& daemon, const QString& folder, const QString& type)
{
    const QString config = folder + QStringLiteral("/%1.conf").arg(type);
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        return QString();
    }
    file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                              "<busconfig>\n"
                              "  <type>%1</type>\n"
                              "  <listen>unix:dir=%2</listen>\n"
                              "  <auth>EXTERNAL</auth>\n"
                              "  <policy context=\"default\">\n"
                              "    <allow user=\"*\"/>\n"
                              "    <allow own=\"*\"/>\n"
                              "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                              "    <allow eavesdrop=\"true\"/>\n"
                              "  </policy>\n"
                              "</busconfig>\n")
                   .arg(type, folder)
                   .toUtf8());
    file.close();
    daemon.start(
        QStringLiteral("dbus-daemon"),
        {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!daemon.waitForStarted()) {
        return QString();
    }
    while (!daemon.canReadLine()) {
        if (!daemon.waitForReadyRead(5000)) {
            return QString();
        }
    }
    return QString::fromUtf8(daemon.readLine()).trimmed();
}
} // namespace TestSupport
