// SPDX-License-Identifier: GPL-3.0-or-later
#include "simserver.h"

#include "displaydevice.h"
#include "simwire.h"
#include "socketpath.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace devsim {

namespace {
constexpr int kProbeTimeoutMs = 500;
} // namespace

SimServer::SimServer(DeviceModel& model, QObject* parent)
    : QObject(parent), mModel(model), mServer(new QLocalServer(this))
{
    connect(mServer, &QLocalServer::newConnection, this, &SimServer::onNewConnection);
}

SimServer::~SimServer()
{
    for (Client* client : qAsConst(mClients)) {
        if (client->handle >= 0) {
            mModel.close(client->handle);
        }
        delete client;
    }
    mServer->close();
}

bool SimServer::listen(const QString& path, const QString& group, QString* error)
{
    mServer->setSocketOptions(group.isEmpty() ? QLocalServer::UserAccessOption
                                              : QLocalServer::UserAccessOption | QLocalServer::GroupAccessOption);
    if (!listenOn(path, error)) {
        return false;
    }
    const QByteArray node = QFile::encodeName(QString::fromStdString(nodePathBeside(path.toStdString())));
    const int fd = ::open(node.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        *error =
            QStringLiteral("cannot make %1: %2").arg(QFile::decodeName(node), QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    ::close(fd);
    return group.isEmpty() ||
           (shareWithGroup(path, group, error) && shareWithGroup(QFile::decodeName(node), group, error));
}

bool SimServer::listenOn(const QString& path, QString* error)
{
    if (mServer->listen(path)) {
        return true;
    }
    if (mServer->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(kProbeTimeoutMs)) {
            *error = QStringLiteral("another simulator is listening on %1").arg(path);
            return false;
        }
        QLocalServer::removeServer(path);
        if (mServer->listen(path)) {
            return true;
        }
    }
    *error = QStringLiteral("cannot listen on %1: %2").arg(path, mServer->errorString());
    return false;
}

bool SimServer::shareWithGroup(const QString& path, const QString& group, QString* error)
{
    const struct group* entry = ::getgrnam(group.toLocal8Bit().constData());
    const QByteArray native = QFile::encodeName(path);
    if (!entry || ::chown(native.constData(), uid_t(-1), entry->gr_gid) != 0 ||
        ::chmod(native.constData(), 0660) != 0) {
        *error =
            QStringLiteral("cannot give %1 to the group %2: %3")
                .arg(path, group, entry ? QString::fromLocal8Bit(strerror(errno)) : QStringLiteral("no such group"));
        return false;
    }
    return true;
}

void SimServer::deviceChanged()
{
    for (Client* client : qAsConst(mClients)) {
        if (client->readWaiting) {
            serveRead(client);
        }
    }
}

void SimServer::onNewConnection()
{
    while (QLocalSocket* socket = mServer->nextPendingConnection()) {
        auto* client = new Client;
        client->socket = socket;
        client->readTimer = new QTimer(socket);
        client->readTimer->setSingleShot(true);
        client->readTimer->setTimerType(Qt::PreciseTimer);
        mClients.append(client);
        connect(client->readTimer, &QTimer::timeout, this, [this, client] { serveRead(client); });
        connect(socket, &QLocalSocket::readyRead, this, [this, client] { onReadyRead(client); });
        // Queued, so that a client never goes away in the middle of serving one of its requests.
        connect(
            socket,
            &QLocalSocket::disconnected,
            this,
            [this, client] { onDisconnected(client); },
            Qt::QueuedConnection);
        if (socket->bytesAvailable() > 0) {
            onReadyRead(client);
        }
    }
}

void SimServer::onReadyRead(Client* client)
{
    client->input.append(client->socket->readAll());
    serveRequests(client);
}

void SimServer::onDisconnected(Client* client)
{
    // A client that dies without closing still lets go of its device, as the kernel does with its files.
    if (client->handle >= 0) {
        mModel.close(client->handle);
        client->handle = -1;
    }
    if (!mClients.removeOne(client)) {
        return;
    }
    client->readTimer->stop();
    client->readTimer->disconnect(this);
    client->socket->disconnect(this);
    client->socket->deleteLater();
    delete client;
}

void SimServer::serveRequests(Client* client)
{
    while (!client->readWaiting && client->input.size() >= int(wire::kRequestHeaderSize)) {
        const auto op = static_cast<uint8_t>(client->input.at(0));
        quint32 size = 0;
        std::memcpy(&size, client->input.constData() + 1, 4);
        if (size > wire::kMaxPayload) {
            client->socket->abort();
            return;
        }
        if (client->input.size() < int(wire::kRequestHeaderSize + size)) {
            return;
        }
        const QByteArray payload = client->input.mid(int(wire::kRequestHeaderSize), int(size));
        client->input.remove(0, int(wire::kRequestHeaderSize + size));
        const auto* bytes = reinterpret_cast<const uint8_t*>(payload.constData());

        switch (op) {
        case wire::OpOpen: {
            quint16 vid = 0;
            quint16 pid = 0;
            if (payload.size() == 4) {
                std::memcpy(&vid, bytes, 2);
                std::memcpy(&pid, bytes + 2, 2);
            }
            if (client->handle >= 0 || vid != DisplayDevice::kVendorId || pid != DisplayDevice::kProductId) {
                answer(client, -1);
                break;
            }
            client->handle = mModel.open();
            answer(client, client->handle >= 0 ? 0 : -1);
            break;
        }
        case wire::OpWrite:
            answer(client, client->handle >= 0 ? mModel.write(client->handle, bytes, size_t(payload.size())) : -1);
            break;
        case wire::OpRead: {
            qint32 timeoutMs = 0;
            if (payload.size() != 8) {
                answer(client, -1);
                break;
            }
            std::memcpy(&client->readSize, bytes, 4);
            std::memcpy(&timeoutMs, bytes + 4, 4);
            client->readWaiting = true;
            client->readDeadline =
                timeoutMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
            serveRead(client);
            break;
        }
        case wire::OpPresent:
            answer(client, mModel.isPresent() ? 1 : 0);
            break;
        case wire::OpClose:
            if (client->handle >= 0) {
                mModel.close(client->handle);
                client->handle = -1;
            }
            answer(client, 0);
            break;
        default:
            client->socket->abort();
            return;
        }
    }
}

void SimServer::serveRead(Client* client)
{
    if (!client->readWaiting) {
        return;
    }
    Clock::time_point due;
    const DeviceModel::ReplyState state = mModel.replyState(client->handle, &due);
    if (state == DeviceModel::ReplyState::Gone || state == DeviceModel::ReplyState::Ready) {
        QByteArray reply(int(qMin<quint32>(client->readSize, wire::kMaxPayload)), '\0');
        const int count =
            mModel.takeReply(client->handle, reinterpret_cast<uint8_t*>(reply.data()), size_t(reply.size()));
        client->readWaiting = false;
        client->readTimer->stop();
        answer(client, count, reply.left(qMax(count, 0)));
        serveRequests(client);
        return;
    }
    const Clock::time_point now = Clock::now();
    if (now >= client->readDeadline) {
        client->readWaiting = false;
        answer(client, 0);
        serveRequests(client);
        return;
    }
    const Clock::time_point wake =
        state == DeviceModel::ReplyState::Later ? qMin(due, client->readDeadline) : client->readDeadline;
    if (wake == Clock::time_point::max()) {
        // Waits without end until a reply or a device change arrives.
        return;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count() + 1;
    client->readTimer->start(int(ms));
}

void SimServer::answer(Client* client, qint32 result, const QByteArray& payload)
{
    QByteArray message(int(wire::kAnswerHeaderSize), '\0');
    const quint32 size = quint32(payload.size());
    std::memcpy(message.data(), &result, 4);
    std::memcpy(message.data() + 4, &size, 4);
    message.append(payload);
    client->socket->write(message);
    client->socket->flush();
}

} // namespace devsim
