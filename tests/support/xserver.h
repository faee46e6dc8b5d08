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
    QString display() const { return mDisplay; }

    // Window ids whose title matches the regular expression `title`, optionally only mapped ones, waiting up to
    // `timeoutMs` for at least one to appear.
    QStringList findWindows(const QString& title, bool onlyVisible, int timeoutMs) const;
    // Gives `window` the keyboard focus and presses `key` (an X keysym name such as "Escape").
    bool pressKey(const QString& window, const QString& key) const;

private:
    QProcess mXvfb;
    QString mDisplay;
};

#endif // ORVANE_XSERVER_H
