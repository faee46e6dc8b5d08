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
constexpr int kProbeMs = 1000;
constexpr int kFlushMs = 1000;
} // namespace

SensorServer::SensorServer(SensorCollector& collector, QObject* parent) : QObject(parent), mCollector(collector)
{
    connect(&mServer, &QLocalServer::newConnection, this, &SensorServer::onNewConnection);
}

SensorServer::Listen SensorServer::listen(const QString& name, QString* error)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(kProbeMs)) {
        probe.abort();
        *error = QStringLiteral("another sensor server already answers on %1").arg(name);
        return Listen::AlreadyRunning;
    }
    QLocalServer::removeServer(name);
    mServer.setSocketOptions(QLocalServer::UserAccessOption);
    if (!mServer.listen(name)) {
        *error = mServer.errorString();
        return Listen::Failed;
    }
    return Listen::Ok;
}

void SensorServer::onNewConnection()
{
    while (QLocalSocket* socket = mServer.nextPendingConnection()) {
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
        socket->waitForBytesWritten(kFlushMs);
        socket->disconnectFromServer();
        emit stopRequested();
        return;
    }
    if (!kReadRequest.startsWith(*request) && !kStopRequest.startsWith(*request)) {
        // Not a request of ours and never going to be one.
        mRequests.remove(socket);
        socket->abort();
    }
}
