// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DEVSIM_SIMSERVER_H
#define ORVANE_DEVSIM_SIMSERVER_H

#include "devicemodel.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace devsim {

// Serves the device model to hidapi_sim clients: one connection per open device, requests answered in order.
class SimServer : public QObject
{
    Q_OBJECT

public:
    explicit SimServer(DeviceModel& model, QObject* parent = nullptr);
    ~SimServer() override;

    // Takes over a stale socket file, but never one that another simulator still listens on. Beside the socket it
    // lays the file that stands for the device node. With a group, both are that group's to use too (0660), so
    // that a second user's Orvane reaches the same display.
    bool listen(const QString& path, const QString& group, QString* error);
    // Answers reads that wait on a device that just went away.
    void deviceChanged();

private:
    struct Client
    {
        QLocalSocket* socket = nullptr;
        int handle = -1;
        QByteArray input;
        bool readWaiting = false;
        quint32 readSize = 0;
        Clock::time_point readDeadline;
        QTimer* readTimer = nullptr;
    };

    void onNewConnection();
    void onReadyRead(Client* client);
    void onDisconnected(Client* client);
    void serveRequests(Client* client);
    void serveRead(Client* client);
    void answer(Client* client, qint32 result, const QByteArray& payload = QByteArray());
    bool listenOn(const QString& path, QString* error);
    bool shareWithGroup(const QString& path, const QString& group, QString* error);

    DeviceModel& mModel;
    QLocalServer* mServer;
    QList<Client*> mClients;
};

} // namespace devsim

#endif // ORVANE_DEVSIM_SIMSERVER_H
