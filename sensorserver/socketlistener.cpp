// SPDX-License-Identifier: GPL-3.0-or-later
#include "socketlistener.h"

#include "sensorendpoint.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
constexpr int kProbeMs = 1000;
constexpr int kRetryMs = 500;
constexpr int kBacklog = 64;

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

SocketListener::SocketListener(QObject* parent) : QObject(parent)
{
    mRetry.setSingleShot(true);
    mRetry.setInterval(kRetryMs);
    connect(&mRetry, &QTimer::timeout, this, [this]() {
        mNotifier->setEnabled(true);
        onReadable();
    });
}

SocketListener::~SocketListener()
{
    if (mFd >= 0) {
        ::close(mFd);
        ::unlink(QFile::encodeName(mPath).constData());
    }
}

SocketListener::Listen SocketListener::listen(const QString& path, QString* error)
{
    const QByteArray native = QFile::encodeName(path);
    struct sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (native.isEmpty() || size_t(native.size()) >= sizeof address.sun_path) {
        *error = QStringLiteral("the socket path %1 is empty or too long").arg(path);
        return Listen::Failed;
    }
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));

    QString taken;
    if (SensorEndpoint::isTaken(path, &taken)) {
        // Someone's folder or file: not ours to remove.
        *error = taken + QStringLiteral(", not a socket");
        return Listen::Failed;
    }
    if (QFileInfo::exists(path)) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(kProbeMs)) {
            probe.abort();
            *error = QStringLiteral("another sensor server already answers on %1").arg(path);
            return Listen::AlreadyRunning;
        }
        // Left behind by a server that died.
        ::unlink(native.constData());
    }

    mFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (mFd < 0) {
        *error = errorText(errno);
        return Listen::Failed;
    }
    // The socket file is made by bind(): this user's alone from its first moment.
    const mode_t previous = ::umask(077);
    const int bound = ::bind(mFd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int bindError = errno;
    ::umask(previous);
    if (bound != 0 || ::listen(mFd, kBacklog) != 0) {
        *error = QStringLiteral("cannot listen on %1: %2").arg(path, errorText(bound != 0 ? bindError : errno));
        ::close(mFd);
        mFd = -1;
        if (bound == 0) {
            ::unlink(native.constData());
        }
        return Listen::Failed;
    }
    mPath = path;
    mNotifier = new QSocketNotifier(mFd, QSocketNotifier::Read, this);
    connect(mNotifier, &QSocketNotifier::activated, this, &SocketListener::onReadable);
    return Listen::Ok;
}

void SocketListener::onReadable()
{
    for (;;) {
        const int fd = ::accept4(mFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            if (mFailing) {
                mFailing = false;
                std::fprintf(stderr, "VOViredo: accepting connections again\n");
            }
            auto* socket = new QLocalSocket(this);
            socket->setSocketDescriptor(fd);
            emit newConnection(socket);
            continue;
        }
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            return;
        }
        if (error == EINTR || error == ECONNABORTED || error == EPROTO) {
            continue;
        }
        // Out of descriptors or memory: the connection waits in the backlog until some are free again.
        if (!mFailing) {
            mFailing = true;
            std::fprintf(stderr,
                         "VOViredo: cannot accept a connection (%s); trying again every %d ms\n",
                         std::strerror(error),
                         kRetryMs);
        }
        mNotifier->setEnabled(false);
        mRetry.start();
        return;
    }
}
