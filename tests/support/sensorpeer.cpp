// SPDX-License-Identifier: GPL-3.0-or-later
#include "sensorpeer.h"

#include "sensorendpoint.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QMutexLocker>
#include <QPointer>
#include <QTimer>

PeerServer::PeerServer(const Script& script) : mScript(script)
{
    moveToThread(&mThread);
    mThread.start();
    QMetaObject::invokeMethod(
        this, [this]() { listen(); }, Qt::BlockingQueuedConnection);
}

PeerServer::~PeerServer()
{
    QMetaObject::invokeMethod(
        this, [this]() { delete mServer; }, Qt::BlockingQueuedConnection);
    mThread.quit();
    mThread.wait();
}

QList<QByteArray> PeerServer::requests() const
{
    QMutexLocker lock(&mMutex);
    return mRequests;
}

void PeerServer::listen()
{
    const QString name = mScript.socketPath.isEmpty() ? SensorEndpoint::serverSocketName() : mScript.socketPath;
    QLocalServer::removeServer(name);
    mServer = new QLocalServer();
    mServer->listen(name);
    connect(mServer, &QLocalServer::newConnection, this, [this]() {
        while (QLocalSocket* socket = mServer->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket]() { onRequest(socket); });
        }
    });
}

void PeerServer::onRequest(QLocalSocket* socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (request != SensorProtocol::kReadRequest && request != SensorProtocol::kStopRequest) {
        return;
    }
    int turn = 0;
    {
        QMutexLocker lock(&mMutex);
        turn = mRequests.size();
        mRequests << request;
    }
    if (request == SensorProtocol::kStopRequest) {
        socket->write(mScript.stopAnswer);
        socket->disconnectFromServer();
        return;
    }
    if (mScript.documents.isEmpty()) {
        if (mScript.close) {
            socket->disconnectFromServer();
        }
        return;
    }
    const QByteArray document = mScript.documents.at(turn % mScript.documents.size());
    const int piece = (document.size() + mScript.chunks - 1) / mScript.chunks;
    sendPiece(socket, document, piece, 0);
}

void PeerServer::sendPiece(QLocalSocket* socket, const QByteArray& document, int piece, int offset)
{
    QPointer<QLocalSocket> guard(socket);
    QTimer::singleShot(mScript.delayMs, this, [=]() {
        if (!guard) {
            return;
        }
        guard->write(document.mid(offset, piece));
        guard->flush();
        if (offset + piece < document.size()) {
            sendPiece(guard, document, piece, offset + piece);
        } else if (mScript.close) {
            guard->disconnectFromServer();
        }
    });
}
