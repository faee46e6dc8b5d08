// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_STATUSNOTIFIERSTANDIN_H
#define ORVANE_STATUSNOTIFIERSTANDIN_H

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The StatusNotifierItem tray of KDE Plasma, GNOME (AppIndicator extension), Xfce, LXQt, Cinnamon and Budgie, as a
// program meets it: a private session bus (its own dbus-daemon) with a StatusNotifierWatcher on it
// (orvane-sni-watcher, a process of its own that may start late and whose host may come and go), and the calls a
// panel's host makes on an item: Activate for a click, SecondaryActivate for a middle click, and the item's menu
// over com.canonical.dbusmenu. A program finds the bus through DBUS_SESSION_BUS_ADDRESS = address().
class StatusNotifierStandIn
{
public:
    StatusNotifierStandIn() = default;
    ~StatusNotifierStandIn();
    StatusNotifierStandIn(const StatusNotifierStandIn&) = delete;
    StatusNotifierStandIn& operator=(const StatusNotifierStandIn&) = delete;

    bool startBus();
    QString address() const { return mAddress; }
    // Starts the watcher, with its host registered or not, and waits until it owns its name.
    bool startWatcher(bool withHost = true);
    // Registers or unregisters the host while the watcher stays, as Plasma's panel does when it restarts.
    bool setHost(bool registered);

    // The items the watcher holds, once it holds at least one or `timeoutMs` passed.
    QStringList waitForItems(int timeoutMs);
    bool activate(const QString& item);
    bool secondaryActivate(const QString& item);
    // Clicks the item's menu entry labelled `label` the way a host does: the layout, then Event "clicked".
    bool clickMenuEntry(const QString& item, const QString& label);

private:
    QDBusConnection bus() const;
    bool waitForLine(const QString& line, int timeoutMs);
    bool callItem(const QString& item, const QString& method);

    QTemporaryDir mDir {QStringLiteral("/tmp/orvane-sni-XXXXXX")};
    QProcess mBus;
    QProcess mWatcher;
    QString mAddress;
    QString mWatcherOutput;
};

#endif // ORVANE_STATUSNOTIFIERSTANDIN_H
