// SPDX-License-Identifier: GPL-3.0-or-later
#include "statusnotifierstandin.h"

#include "testsupport.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QThread>

namespace {
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kItem = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenu = QStringLiteral("com.canonical.dbusmenu");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// The id of the entry labelled `label` in a dbusmenu layout, a (ia{sv}av) whose children are layouts again.
int findEntry(const QDBusArgument& layout, const QString& label)
{
    int id = -1;
    QVariantMap properties;
    int found = -1;
    layout.beginStructure();
    layout >> id >> properties;
    layout.beginArray();
    while (!layout.atEnd()) {
        QDBusVariant child;
        layout >> child;
        const int inChild = findEntry(qvariant_cast<QDBusArgument>(child.variant()), label);
        found = found >= 0 ? found : inChild;
    }
    layout.endArray();
    layout.endStructure();
    return properties.value(QStringLiteral("label")).toString() == label ? id : found;
}
} // namespace

StatusNotifierStandIn::~StatusNotifierStandIn()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("orvane-sni-host"));
    for (QProcess* process : {&mWatcher, &mBus}) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
}

bool StatusNotifierStandIn::startBus()
{
    if (mDir.isValid()) {
        mAddress = TestSupport::startPrivateBus(mBus, mDir.path(), QStringLiteral("session"));
    }
    return !mAddress.isEmpty();
}

QDBusConnection StatusNotifierStandIn::bus() const
{
    return QDBusConnection::connectToBus(mAddress, QStringLiteral("orvane-sni-host"));
}

bool StatusNotifierStandIn::startWatcher(bool withHost)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), mAddress);
    mWatcher.setProcessEnvironment(env);
    mWatcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mWatcher.start(TestSupport::binaryDir() + QStringLiteral("/tests/support/orvane-sni-watcher"),
                   withHost ? QStringList() : QStringList {QStringLiteral("--no-host")});
    return mWatcher.waitForStarted(5000) && waitForLine(QStringLiteral("ready"), 10000);
}

bool StatusNotifierStandIn::setHost(bool registered)
{
    const QString line = registered ? QStringLiteral("host on") : QStringLiteral("host off");
    mWatcher.write((line + QLatin1Char('\n')).toLatin1());
    return waitForLine(line, 5000);
}

bool StatusNotifierStandIn::waitForLine(const QString& line, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!mWatcherOutput.contains(line + QLatin1Char('\n'))) {
        if (clock.elapsed() > timeoutMs || !mWatcher.waitForReadyRead(200) && mWatcher.state() != QProcess::Running) {
            return false;
        }
        mWatcherOutput += QString::fromUtf8(mWatcher.readAllStandardOutput());
    }
    // Each line is waited for once.
    mWatcherOutput.remove(0, mWatcherOutput.indexOf(line + QLatin1Char('\n')) + line.size() + 1);
    return true;
}

QStringList StatusNotifierStandIn::waitForItems(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QDBusMessage get = QDBusMessage::createMethodCall(
            kWatcher, QStringLiteral("/StatusNotifierWatcher"), kProperties, QStringLiteral("Get"));
        get << kWatcher << QStringLiteral("RegisteredStatusNotifierItems");
        const QDBusReply<QDBusVariant> reply = bus().call(get);
        const QStringList items = reply.isValid() ? reply.value().variant().toStringList() : QStringList();
        if (!items.isEmpty() || clock.elapsed() > timeoutMs) {
            return items;
        }
        QThread::msleep(100);
    }
}

bool StatusNotifierStandIn::callItem(const QString& item, const QString& method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(item, kItemPath, kItem, method);
    call << 0 << 0;
    return bus().call(call).type() == QDBusMessage::ReplyMessage;
}

bool StatusNotifierStandIn::activate(const QString& item)
{
    return callItem(item, QStringLiteral("Activate"));
}

bool StatusNotifierStandIn::secondaryActivate(const QString& item)
{
    return callItem(item, QStringLiteral("SecondaryActivate"));
}

bool StatusNotifierStandIn::clickMenuEntry(const QString& item, const QString& label)
{
    QDBusMessage get = QDBusMessage::createMethodCall(item, kItemPath, kProperties, QStringLiteral("Get"));
    get << kItem << QStringLiteral("Menu");
    const QDBusReply<QDBusVariant> menu = bus().call(get);
    if (!menu.isValid()) {
        return false;
    }
    const QString menuPath = qvariant_cast<QDBusObjectPath>(menu.value().variant()).path();
    QDBusMessage getLayout = QDBusMessage::createMethodCall(item, menuPath, kMenu, QStringLiteral("GetLayout"));
    getLayout << 0 << -1 << QStringList();
    const QDBusMessage layout = bus().call(getLayout);
    if (layout.type() != QDBusMessage::ReplyMessage || layout.arguments().size() != 2) {
        return false;
    }
    const int id = findEntry(qvariant_cast<QDBusArgument>(layout.arguments().at(1)), label);
    if (id < 0) {
        return false;
    }
    QDBusMessage event = QDBusMessage::createMethodCall(item, menuPath, kMenu, QStringLiteral("Event"));
    event << id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u;
    // Without waiting for the reply, as a host sends it: "exit" may end the program first.
    return bus().send(event);
}
