// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_TRAYWATCHER_H
#define ORVANE_TRAYWATCHER_H

#include <QObject>

// Which system tray the desktop has right now, and a notice when one comes or goes, where the platform can tell:
// a StatusNotifierItem host on the session bus (KDE Plasma, GNOME with the AppIndicator extension, Xfce, LXQt,
// Cinnamon, Budgie) or an XEmbed tray manager on the X display (older panels, trayer, stalonetray).
class TrayWatcher : public QObject
{
    Q_OBJECT

public:
    // nullptr where nothing can tell: Windows, whose notification area is always there, and platforms other than
    // X11 and Wayland (offscreen). There the caller asks Qt, as before.
    static TrayWatcher* create(QObject* parent);

    // Asks the session bus now, the way Qt 5.15 does when it makes a tray icon: org.kde.StatusNotifierWatcher is
    // there, lists IsStatusNotifierHostRegistered in its introspection data and says true. Blocks until answered.
    virtual bool statusNotifierHostRegistered() const = 0;
    // An XEmbed tray manager owns the X screen's tray selection (never on Wayland).
    virtual bool xembedTrayPresent() const = 0;

signals:
    // A StatusNotifierWatcher or its host, or an XEmbed tray manager, came or went.
    void signal_changed();

protected:
    explicit TrayWatcher(QObject* parent) : QObject(parent) { }
};

#endif // ORVANE_TRAYWATCHER_H
