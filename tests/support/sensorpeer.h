// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SENSORPEER_H
#define ORVANE_SENSORPEER_H

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QThread>

class QLocalServer;
class QLocalSocket;

// What the stand-in server does with each connection.
struct Script
{
    QList<QByteArray> documents; // answered in turn, one per request; none: no answer at all
    int chunks = 1;              // pieces each answer is cut into
    int delayMs = 0;             // pause before each piece
    bool close = true;           // close after the answer (or at once when there is none)
    QByteArray stopAnswer = QByteArrayLiteral("bye");
    QString socketPath; // where to listen; empty: where this process's client looks
};

// A sensor server stand-in on a QLocalServer of its own thread, listening where the client looks, so that the
// test's thread may block in the client.
class PeerServer : public QObject
{
    Q_OBJECT

public:
    explicit PeerServer(const Script& script);
    ~PeerServer() override;

    // "readData" and "stopServer" requests, in the order they came.
    QList<QByteArray> requests() const;

private:
    void listen();
    void onRequest(QLocalSocket* socket);
    void sendPiece(QLocalSocket* socket, const QByteArray& document, int piece, int offset);

    Script mScript;
    QThread mThread;
    QLocalServer* mServer = nullptr;
    mutable QMutex mMutex;
    QList<QByteArray> mRequests;
};

#endif // ORVANE_SENSORPEER_H
