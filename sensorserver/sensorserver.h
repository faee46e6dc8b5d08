// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SENSORSERVER_H
#define ORVANE_SENSORSERVER_H

#include "requesttrace.h"
#include "socketlistener.h"

#include <QByteArray>
#include <QHash>
#include <QObject>

class QLocalSocket;
class SensorCollector;

// Serves the sensor document on a local socket: "readData" is answered with the whole document, "stopServer" with
// a short text before the server ends. One request per connection, any number of connections.
class SensorServer : public QObject
{
    Q_OBJECT

public:
    using Listen = SocketListener::Listen;

    explicit SensorServer(SensorCollector& collector, QObject* parent = nullptr);

    // Listens on `name` (a socket path), readable and writable by this user only. A socket left behind by a server
    // that died is taken over; one that still answers is left alone.
    Listen listen(const QString& name, QString* error);

signals:
    void stopRequested();

private:
    void onNewConnection(QLocalSocket* socket);
    void onReadyRead(QLocalSocket* socket);

    SensorCollector& mCollector;
    SocketListener mListener;
    QHash<QLocalSocket*, QByteArray> mRequests;
    RequestTrace mTrace;
};

#endif // ORVANE_SENSORSERVER_H
