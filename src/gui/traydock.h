// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_TRAYDOCK_H
#define ORVANE_TRAYDOCK_H

#include <QObject>
#include <QTimer>
#include <functional>

class QSystemTrayIcon;
class QWidget;
class TrayWatcher;

// Keeps the window within reach through the system tray.
//
// Qt 5.15 picks a tray icon's protocol once per process, when the first icon is made: a StatusNotifierItem over
// D-Bus when a watcher with a registered host is on the session bus, else XEmbed. So the icon is made only once a
// tray is there, which matters at log-on, when the panel may come up after the program. While hidden in the tray,
// the window is shown minimised when the tray goes away (a panel crash) and hidden again when it returns.
//
// Where the platform cannot tell when a tray comes (Windows, offscreen), the icon is made at once and Qt is asked.
class TrayDock : public QObject
{
    Q_OBJECT

public:
    // `watcher` (adopted; nullptr where nothing can tell) follows the tray; `iconMaker` makes the icon, once.
    TrayDock(QWidget* window, TrayWatcher* watcher, std::function<QSystemTrayIcon*()> iconMaker);

    QSystemTrayIcon* icon() const { return mIcon; }
    // The icon is a StatusNotifierItem, whose host sends Activate for a click and never a double click.
    bool isStatusNotifierItem() const { return mStatusNotifierItem; }
    bool waitingForTray() const { return mWaitTimer.isActive(); }

    // Into the tray (Accept, the title bar's close button); minimised while there is none.
    void hideToTray();
    // The log-on start: hidden in the tray. With no tray yet, hidden while waiting for one, for up to 60 s
    // (ORVANE_TRAY_WAIT_SECONDS may shorten it), and minimised if none came.
    void startHidden();

    // How long startHidden() waits for a tray: kTrayWaitSeconds, or less as ORVANE_TRAY_WAIT_SECONDS says.
    static constexpr int kTrayWaitSeconds = 60;
    static int trayWaitSeconds();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onTrayChanged();
    void onWaitOver();
    void makeIcon();
    bool trayPresent() const;
    void minimiseForLackOfTray();

    QWidget* mWindow;
    TrayWatcher* mWatcher;
    std::function<QSystemTrayIcon*()> mMakeIcon;
    QSystemTrayIcon* mIcon = nullptr;
    bool mStatusNotifierItem = false;
    // What the icon's own protocol had at the last notice.
    bool mIconTrayPresent = false;
    // The window was minimised because there was no tray to hide it in, and nobody has restored it since.
    bool mMinimisedForLackOfTray = false;
    QTimer mWaitTimer;
};

#endif // ORVANE_TRAYDOCK_H
