// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_LOGINDSTANDIN_H
#define ORVANE_LOGINDSTANDIN_H

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A private system bus (its own dbus-daemon) on which the test owns logind's name and sends PrepareForSleep, as
// logind does around a suspend. A program finds the bus through DBUS_SYSTEM_BUS_ADDRESS = address().
class LogindStandIn
{
public:
    LogindStandIn() = default;
    ~LogindStandIn();
    LogindStandIn(const LogindStandIn&) = delete;
    LogindStandIn& operator=(const LogindStandIn&) = delete;

    // Starts the bus; false when dbus-daemon could not be started (errorOutput() says why).
    bool startBus();
    QString address() const { return mAddress; }
    QString errorOutput();

    // Connects under `connectionName` and takes the name org.freedesktop.login1.
    bool claimName(const QString& connectionName = QStringLiteral("logind-standin"));
    // Gives the name back and closes that connection.
    void releaseName();
    // PrepareForSleep(start) from the name's owner: true before a suspend, false after the wake-up.
    bool prepareForSleep(bool start);

    // PrepareForSleep(start) from any connection, for example one that does not own the name.
    static bool prepareForSleep(QDBusConnection& bus, bool start);

private:
    QTemporaryDir mDir {QStringLiteral("/tmp/orvane-bus-XXXXXX")};
    QProcess mBus;
    QString mAddress;
    QString mConnectionName;
};

#endif // ORVANE_LOGINDSTANDIN_H
