// SPDX-License-Identifier: GPL-3.0-or-later
// orvane-sni-watcher: a StatusNotifierWatcher on the session bus, as KDE Plasma (kded's statusnotifierwatcher)
// and GNOME's AppIndicator extension run one, with a host that standard input registers and unregisters, as a
// panel does when it starts or crashes while the watcher stays.
//   standard input:  "host on", "host off"
//   standard output: "ready", "host on", "host off", "item SERVICE", "item gone SERVICE"
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QSocketNotifier>
#include <QStringList>
#include <cstdio>
#include <unistd.h>

class Watcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    // Qt's test reads IsStatusNotifierHostRegistered only if the introspection data lists it, as it does here.
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit Watcher(QDBusConnection bus) : mBus(bus), mItemOwners(QString(), bus)
    {
        mItemOwners.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(&mItemOwners, &QDBusServiceWatcher::serviceUnregistered, this, &Watcher::onOwnerGone);
    }

    QStringList items() const { return mItems; }
    bool hostRegistered() const { return mHost; }
    int protocolVersion() const { return 0; }

    void setHost(bool on)
    {
        const QString hostName = QStringLiteral("org.kde.StatusNotifierHost-%1").arg(getpid());
        if (on) {
            mBus.registerService(hostName);
        } else {
            mBus.unregisterService(hostName);
        }
        mHost = on;
        if (on) {
            emit StatusNotifierHostRegistered();
        } else {
            emit StatusNotifierHostUnregistered();
        }
        say(on ? "host on" : "host off");
    }

    static void say(const QString& line)
    {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    }

public slots:
    // An item names its service (Qt: org.kde.StatusNotifierItem-PID-N) or, as libappindicator does, its path.
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message)
    {
        const QString item =
            serviceOrPath.startsWith(QLatin1Char('/')) ? message.service() + serviceOrPath : serviceOrPath;
        if (!mItems.contains(item)) {
            mItems << item;
            mItemOwners.addWatchedService(message.service());
            mOwnerOfItem.insert(item, message.service());
            emit StatusNotifierItemRegistered(item);
            say(QStringLiteral("item ") + item);
        }
    }
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString& service) { Q_UNUSED(service) }

signals:
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString& item);
    Q_SCRIPTABLE void StatusNotifierItemUnregistered(const QString& item);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();
    Q_SCRIPTABLE void StatusNotifierHostUnregistered();

private:
    void onOwnerGone(const QString& owner)
    {
        for (const QString& item : mOwnerOfItem.keys(owner)) {
            mItems.removeAll(item);
            mOwnerOfItem.remove(item);
            emit StatusNotifierItemUnregistered(item);
            say(QStringLiteral("item gone ") + item);
        }
        mItemOwners.removeWatchedService(owner);
    }

    QDBusConnection mBus;
    QDBusServiceWatcher mItemOwners;
    QStringList mItems;
    QMap<QString, QString> mOwnerOfItem;
    bool mHost = false;
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher(bus);
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"),
                            &watcher,
                            QDBusConnection::ExportScriptableContents | QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "orvane-sni-watcher: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    if (!app.arguments().contains(QStringLiteral("--no-host"))) {
        watcher.setHost(true);
    }
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&]() {
        char line[64] = {};
        if (!std::fgets(line, sizeof line, stdin)) {
            app.quit();
            return;
        }
        const QString command = QString::fromLatin1(line).trimmed();
        if (command == QLatin1String("host on") || command == QLatin1String("host off")) {
            watcher.setHost(command.endsWith(QLatin1String("on")));
        }
    });
    Watcher::say(QStringLiteral("ready"));
    return app.exec();
}

#include "sniwatcher.moc"
