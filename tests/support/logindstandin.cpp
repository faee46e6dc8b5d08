// SPDX-License-Identifier: GPL-3.0-or-later
#include "logindstandin.h"

#include "testsupport.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

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
    // A system bus that lets anyone own and send anything: the test plays logind, and may play an impostor too.
    if (mDir.isValid()) {
        mAddress = TestSupport::startPrivateBus(mBus, mDir.path(), QStringLiteral("system"));
    }
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
