// SPDX-License-Identifier: GPL-3.0-or-later
#include "sensorserver.h"

#include "sensorcollector.h"
#include "sensorprotocol.h"

#include <QLocalSocket>
#include <QTimer>

namespace {
const QByteArray kReadRequest(SensorProtocol::kReadRequest);
const QByteArray kStopRequest(SensorProtocol::kStopRequest);
const QByteArray kStopAnswer = QByteArrayLiteral("stopping");
// A client that connects and says nothing does not keep its connection for ever.
constexpr int kIdleMs = 10000;
constexpr int kFlushMs = 1000;
} // namespace

SensorServer::SensorServer(SensorCollector& collector, QObject* parent) : QObject(parent), mCollector(collector)
{
    connect(&mListener, &SocketListener::newConnection, this, &SensorServer::onNewConnection);
}

SensorServer::Listen SensorServer::listen(const QString& name, QString* error)
{
    return mListener.listen(name, error);
}

void SensorServer::onNewConnection(QLocalSocket* socket)
{
    socket->setParent(this);
    mRequests.insert(socket, QByteArray());
    connect(socket, &QLocalSocket::readyRead, this, [this, socket]() { onReadyRead(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket]() {
        mRequests.remove(socket);
        socket->deleteLater();
    });
    QTimer::singleShot(kIdleMs, socket, [socket]() { socket->abort(); });
    // Data may have come with the connection already.
    onReadyRead(socket);
}

void SensorServer::onReadyRead(QLocalSocket* socket)
{
    auto request = mRequests.find(socket);
    if (request == mRequests.end() || socket->bytesAvailable() <= 0) {
        return;
    }
    *request += socket->read(kStopRequest.size() - request->size() + 1);

    if (*request == kReadRequest) {
        mTrace.note(*request);
        mRequests.remove(socket);
        // In one piece: a client may take the first chunk for the whole document.
        socket->write(mCollector.document());
        socket->disconnectFromServer();
        return;
    }
    if (*request == kStopRequest) {
        mTrace.note(*request);
        mRequests.remove(socket);
        socket->write(kStopAnswer);
        // End once the answer is out, also to a client that closed its own side right after asking; a client that
        // reads nothing does not hold the end up for long.
        connect(socket, &QLocalSocket::disconnected, this, &SensorServer::stopRequested);
        QTimer::singleShot(kFlushMs, this, &SensorServer::stopRequested);
        socket->disconnectFromServer();
        return;
    }
    if (!kReadRequest.startsWith(*request) && !kStopRequest.startsWith(*request)) {
        // Not a request of ours and never going to be one.
        mRequests.remove(socket);
        socket->abort();
    }
}
