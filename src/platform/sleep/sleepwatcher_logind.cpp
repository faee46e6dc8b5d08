// Sleep and wake from logind's PrepareForSleep signal on the system bus.
#include "sleepwatcher.h"

#include <QDBusConnection>

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
            return false;
        }
        // By signature text: the D-Bus signal has no C++ counterpart to point at.
        return bus.connect(QStringLiteral("org.freedesktop.login1"),
                           QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"),
                           QStringLiteral("PrepareForSleep"),
                           this,
                           SLOT(onPrepareForSleep(bool)));
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
