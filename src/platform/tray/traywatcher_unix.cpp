// SPDX-License-Identifier: GPL-3.0-or-later
// The system tray on Linux: a StatusNotifierItem host on the session bus, or an XEmbed tray manager on X11.
#include "logcategories.h"
#include "traywatcher.h"
#include "xembedtray.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusServiceWatcher>
#include <QGuiApplication>

namespace {
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

class UnixTrayWatcher : public TrayWatcher
{
    Q_OBJECT

public:
    UnixTrayWatcher(QObject* parent, bool onX11) : TrayWatcher(parent)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            // The watcher may come and go (its name), and so may the host behind it while the watcher stays, as
            // when Plasma's panel restarts: both say so.
            auto* names = new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
            connect(names, &QDBusServiceWatcher::serviceOwnerChanged, this, &TrayWatcher::signal_changed);
            for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
                bus.connect(kWatcher, kWatcherPath, kWatcher, QLatin1String(signal), this, SIGNAL(signal_changed()));
            }
        }
        if (onX11) {
            mXEmbed = new XEmbedTray(this);
            if (mXEmbed->open()) {
                connect(mXEmbed, &XEmbedTray::signal_changed, this, &TrayWatcher::signal_changed);
            } else {
                qCInfo(lcPlatform) << "cannot open a second connection to the X display: an XEmbed tray that comes"
                                   << "later goes unnoticed";
                delete mXEmbed;
                mXEmbed = nullptr;
            }
        }
    }

    bool statusNotifierHostRegistered() const override
    {
        // Qt 5.15's own test (QDBusMenuConnection): the property comes from the introspection data, so a watcher
        // that does not list it counts as none, for Qt as for us.
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            return false;
        }
        QDBusInterface watcher(kWatcher, kWatcherPath, kWatcher, bus);
        return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
    }

    bool xembedTrayPresent() const override { return mXEmbed && mXEmbed->present(); }

private:
    XEmbedTray* mXEmbed = nullptr;
};
} // namespace

TrayWatcher* TrayWatcher::create(QObject* parent)
{
    const QString platform = QGuiApplication::platformName();
    const bool onX11 = platform == QLatin1String("xcb");
    if (!onX11 && !platform.startsWith(QLatin1String("wayland"))) {
        return nullptr;
    }
    return new UnixTrayWatcher(parent, onX11);
}

#include "traywatcher_unix.moc"
