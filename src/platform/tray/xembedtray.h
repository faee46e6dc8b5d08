// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_XEMBEDTRAY_H
#define ORVANE_XEMBEDTRAY_H

#include <QObject>
#include <cstdint>

class QSocketNotifier;
struct xcb_connection_t;

// The XEmbed tray manager of the default X screen (the owner of _NET_SYSTEM_TRAY_S<n>), followed on a connection of
// its own: a new manager announces itself with a MANAGER message to the root window, and a manager that goes away
// destroys the window that owned the selection. Nothing is polled.
class XEmbedTray : public QObject
{
    Q_OBJECT

public:
    explicit XEmbedTray(QObject* parent);
    ~XEmbedTray() override;

    // Connects to $DISPLAY; false when that fails, and then no tray is ever present.
    bool open();
    bool present() const { return mManager != 0; }

signals:
    void signal_changed();

private:
    void onEvents();
    // Asks who owns the selection now and follows that window's end.
    void update();

    xcb_connection_t* mConnection = nullptr;
    QSocketNotifier* mNotifier = nullptr;
    uint32_t mRoot = 0;
    uint32_t mSelection = 0;
    uint32_t mManagerAtom = 0;
    uint32_t mManager = 0;
};

#endif // ORVANE_XEMBEDTRAY_H
