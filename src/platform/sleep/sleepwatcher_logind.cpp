// SPDX-License-Identifier: GPL-3.0-or-later
// Sleep and wake from logind's PrepareForSleep signal on the system bus.
#include "logcategories.h"
#include "sleepwatcher.h"

#include <QDBusConnection>
#include <QDBusError>

namespace {

class LogindSleepWatcher : public SleepWatcher
{
    Q_OBJECT

public:
    explicit LogindSleepWatcher(QObject* parent) : SleepWatcher(parent) { }

    bool listen()
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected()) {
            qCInfo(lcPlatform).noquote() << "no system bus (" + bus.lastError().message() +
                                                "): sleep and wake-up go unnoticed; the display is linked again at "
                                                "the next reading";
            return false;
        }
        // By signature text: the D-Bus signal has no C++ counterpart to point at.
        const bool connected = bus.connect(QStringLiteral("org.freedesktop.login1"),
                                           QStringLiteral("/org/freedesktop/login1"),
                                           QStringLiteral("org.freedesktop.login1.Manager"),
                                           QStringLiteral("PrepareForSleep"),
                                           this,
                                           SLOT(onPrepareForSleep(bool)));
        if (!connected) {
            qCWarning(lcPlatform).noquote() << "cannot follow logind's PrepareForSleep:" << bus.lastError().message();
        }
        return connected;
    }

private slots:
    void onPrepareForSleep(bool start)
    {
        if (start) {
            emit signal_suspending();
        } else {
            emit signal_resumed();
        }
    }
};

} // namespace

SleepWatcher* SleepWatcher::create(QObject* parent)
{
    auto* watcher = new LogindSleepWatcher(parent);
    if (!watcher->listen()) {
        // No system bus: the session's retry with every reading carries on without sleep notices.
        delete watcher;
        return nullptr;
    }
    return watcher;
}

#include "sleepwatcher_logind.moc"
