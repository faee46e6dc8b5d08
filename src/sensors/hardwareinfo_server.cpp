// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor server's process: start, stop request and the clean-up when the application quits.
#include "hardwareinfo.h"
#include "logcategories.h"
#include "sensorendpoint.h"
#include "serverkeeper.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QMetaObject>
#include <QThread>

namespace {
// On the way out nothing may wait long: the stop request, then the end of a server that did not stop by itself.
constexpr int kStopWaitMs = 1000;
constexpr int kTerminateWaitMs = 1000;
constexpr int kKillWaitMs = 1000;
} // namespace

void HardWareInfo::onStartVoViredo()
{
    if (isQuitting()) {
        return;
    }
    if (QThread::currentThread() != thread()) {
        // Every server process belongs to this object's thread, so that one thread starts, watches and ends them
        // all, and the caller's thread is not held up by the start.
        QMetaObject::invokeMethod(
            this, [this]() { onStartVoViredo(); }, Qt::QueuedConnection);
        return;
    }
    onHookQuit();
    mServer->setStartWaitMs(mWaitMs);
    mServer->start();
}

void HardWareInfo::onStopVoViredo()
{
    // Asked only on the way out: from here on no request waits for the server and none starts another.
    mQuitting.store(true);
    QLocalSocket socket;
    socket.connectToServer(SensorEndpoint::serverSocketName(), QIODevice::ReadWrite);
    if (!socket.waitForConnected(kStopWaitMs)) {
        return;
    }
    socket.write(SensorProtocol::kStopRequest);
    if (!socket.waitForBytesWritten(kStopWaitMs)) {
        return;
    }
    socket.waitForReadyRead(kStopWaitMs);
    const QString answer = QString::fromUtf8(socket.readAll());
    if (answer.isEmpty()) {
        qCDebug(lcSensors, "stop voViredo failed");
    }
    socket.abort();
}

void HardWareInfo::onHookQuit()
{
    // Also without a server of ours: a request waiting on a silent server must not hold up the exit.
    if (mQuitHooked || !QCoreApplication::instance()) {
        return;
    }
    mQuitHooked = true;
    connect(
        QCoreApplication::instance(),
        &QCoreApplication::aboutToQuit,
        this,
        [this]() { onQuitCleanUp(); },
        Qt::DirectConnection);
}

void HardWareInfo::onQuitCleanUp()
{
    // Runs on the application's thread inside the about-to-quit notification, while this object's thread still
    // runs its event loop: the processes are ended there, by the thread that owns them.
    mQuitting.store(true);
    QThread* owner = thread();
    auto endServers = [this]() { mServer->endAll(kTerminateWaitMs, kKillWaitMs); };
    if (owner != QThread::currentThread() && owner && owner->isRunning()) {
        QMetaObject::invokeMethod(this, endServers, Qt::BlockingQueuedConnection);
    } else {
        endServers();
    }
}
