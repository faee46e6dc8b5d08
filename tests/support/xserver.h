#ifndef ORVANE_XSERVER_H
#define ORVANE_XSERVER_H

#include <QProcess>
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
    // True when a tray icon of the program `windowClass` sits in the tray.
    bool trayHasIcon(const QString& windowClass) const;
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
