#include "logindstandin.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>

namespace {
const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

LogindStandIn::~LogindStandIn()
{
    releaseName();
    if (mBus.state() != QProcess::NotRunning) {
        mBus.terminate();
        if (!mBus.waitForFinished(5000)) {
            mBus.kill();
            mBus.waitForFinished(5000);
        }
    }
}

bool LogindStandIn::startBus()
{
    if (!mDir.isValid()) {
        return false;
    }
    const QString config = mDir.filePath(QStringLiteral("system.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // A system bus that lets anyone own and send anything: the test plays logind, and may play an impostor too.
    file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                              "<busconfig>\n"
                              "  <type>system</type>\n"
                              "  <listen>unix:dir=%1</listen>\n"
                              "  <auth>EXTERNAL</auth>\n"
                              "  <policy context=\"default\">\n"
                              "    <allow user=\"*\"/>\n"
                              "    <allow own=\"*\"/>\n"
                              "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                              "    <allow eavesdrop=\"true\"/>\n"
                              "  </policy>\n"
                              "</busconfig>\n")
                   .arg(mDir.path())
                   .toUtf8());
    file.close();
    mBus.start(
        QStringLiteral("dbus-daemon"),
        {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!mBus.waitForStarted()) {
        return false;
    }
    while (!mBus.canReadLine()) {
        if (!mBus.waitForReadyRead(5000)) {
            return false;
        }
    }
    mAddress = QString::fromUtf8(mBus.readLine()).trimmed();
    return !mAddress.isEmpty();
}

QString LogindStandIn::errorOutput()
{
    return QString::fromLocal8Bit(mBus.readAllStandardError());
}

bool LogindStandIn::claimName(const QString& connectionName)
{
    releaseName();
    QDBusConnection bus = QDBusConnection::connectToBus(mAddress, connectionName);
    mConnectionName = connectionName;
    return bus.isConnected() && bus.registerService(kLogind);
}

void LogindStandIn::releaseName()
{
    if (mConnectionName.isEmpty()) {
        return;
    }
    QDBusConnection bus(mConnectionName);
    if (bus.isConnected()) {
        bus.unregisterService(kLogind);
    }
    QDBusConnection::disconnectFromBus(mConnectionName);
    mConnectionName.clear();
}

bool LogindStandIn::prepareForSleep(bool start)
{
    if (mConnectionName.isEmpty()) {
        return false;
    }
    QDBusConnection bus(mConnectionName);
    return prepareForSleep(bus, start);
}

bool LogindStandIn::prepareForSleep(QDBusConnection& bus, bool start)
{
    QDBusMessage signal = QDBusMessage::createSignal(kLogindPath, kManager, QStringLiteral("PrepareForSleep"));
    signal << start;
    return bus.send(signal);
}
