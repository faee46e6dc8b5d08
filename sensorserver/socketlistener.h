// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SOCKETLISTENER_H
#define ORVANE_SOCKETLISTENER_H

#include <QObject>
#include <QString>
#include <QTimer>

class QLocalSocket;
class QSocketNotifier;

// Accepts connections on a Unix socket that only this user may use. QLocalServer closes itself for good when one
// accept fails (too many open files, for one), which would leave the server running and deaf; this one waits a
// moment and goes on, while the connections wait in the socket's backlog.
class SocketListener : public QObject
{
    Q_OBJECT

public:
    enum class Listen { Ok, AlreadyRunning, Failed };

    explicit SocketListener(QObject* parent = nullptr);
    ~SocketListener() override;

    // Listens on `path`. A socket left there by a server that died is taken over; one that still answers is left
    // alone, and so is anything at that path that is not a socket.
    Listen listen(const QString& path, QString* error);

signals:
    // A new connection, owned by the listener until someone takes it.
    void newConnection(QLocalSocket* socket);

private:
    void onReadable();

    int mFd = -1;
    QString mPath;
    QSocketNotifier* mNotifier = nullptr;
    QTimer mRetry;
    bool mFailing = false;
};

#endif // ORVANE_SOCKETLISTENER_H
