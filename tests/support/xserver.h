// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_XSERVER_H
#define ORVANE_XSERVER_H

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

// A private Xvfb display for tests that run the real program as a process and look at its windows like a user.
class XServer
{
public:
    XServer() = default;
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Starts Xvfb on a free display; false when it cannot be started.
    bool start();
    // Starts a system tray (trayer) on the display, as a desktop panel would have; false when there is none.
    bool startTray();
    // Kills the tray, as a panel crashes; true once its panel window is gone.
    bool stopTray();
    // True when `window` is mapped and asks to start iconic: minimised, as Qt maps it where no window manager runs.
    bool isMinimised(const QString& window) const;
    // True when a tray icon of the program `windowClass` sits in the tray.
    bool trayHasIcon(const QString& windowClass) const;
    // The window of the tray icon of the program `windowClass`, or an empty text.
    QString trayIconWindow(const QString& windowClass) const;
    // Mapped windows of the program `windowClass`.
    QStringList visibleWindowsOfClass(const QString& windowClass) const;
    // Where `window` is on the screen and how large; an empty rectangle when it is not there.
    QRect windowGeometry(const QString& window) const;
    // Moves the pointer to (x, y) of `window` and clicks `button` (1 left, 3 right), as a user would.
    bool click(const QString& window, int x, int y, int button) const;
    // The X property `property` of `window` as xprop prints it.
    QString windowProperty(const QString& window, const QString& property) const;
    QString display() const { return mDisplay; }

    // Window ids whose title matches the regular expression `title`, optionally only mapped ones, waiting up to
    // `timeoutMs` for at least one to appear.
    QStringList findWindows(const QString& title, bool onlyVisible, int timeoutMs) const;
    // Gives `window` the keyboard focus and presses `key` (an X keysym name such as "Escape").
    bool pressKey(const QString& window, const QString& key) const;

private:
    QString runTool(const QString& program, const QStringList& arguments) const;

    QProcess mXvfb;
    QProcess mTray;
    QString mDisplay;
};

#endif // ORVANE_XSERVER_H
