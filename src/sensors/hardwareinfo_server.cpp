// The sensor server's process: start, stop request and the clean-up when the application quits.
#include "hardwareinfo.h"
#include "sensorendpoint.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLocalSocket>
#include <QMetaObject>
#include <QProcess>
#include <QThread>

void HardWareInfo::onStartVoViredo()
{
    if (mQuitting.load()) {
        return;
    }
    if (QThread::currentThread() != thread()) {
        // Every server process belongs to this object's thread, so that one thread starts, watches and ends them
        // all, and the caller's thread is not held up by the start.
        QMetaObject::invokeMethod(
            this, [this]() { onStartServerProcess(); }, Qt::QueuedConnection);
        return;
    }
    onStartServerProcess();
}

void HardWareInfo::onStartServerProcess()
{
    if (mQuitting.load() || !QFileInfo::exists(mServerProgram)) {
        return;
    }
    // The delayed start and a failed connection often ask for a server at the same moment: one is enough.
    if (isServerProcessRunning()) {
        return;
    }
    onHookQuit();

    auto* process = new QProcess(this);
    // Output nobody reads would pile up in memory for as long as the server runs; its error output goes to ours.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(mServerProgram, QStringList {QLatin1String(SensorProtocol::kServerName)}, QIODevice::ReadWrite);
    process->waitForStarted(mWaitMs);
    mServerProcesses.append(process);
}

bool HardWareInfo::isServerProcessRunning()
{
    bool running = false;
    for (auto it = mServerProcesses.begin(); it != mServerProcesses.end();) {
        QProcess* process = *it;
        // A zero wait collects an exit that the event loop has not seen yet (a server killed a moment ago).
        if (process->state() != QProcess::NotRunning && !process->waitForFinished(0)) {
            running = true;
            ++it;
        } else {
            it = mServerProcesses.erase(it);
            delete process;
        }
    }
    return running;
}

void HardWareInfo::onStopVoViredo()
{
    QLocalSocket socket;
    socket.connectToServer(SensorEndpoint::serverSocketName(), QIODevice::ReadWrite);
    if (!socket.waitForConnected(mWaitMs)) {
        return;
    }
    socket.write(SensorProtocol::kStopRequest);
    if (!socket.waitForBytesWritten(mWaitMs)) {
        return;
    }
    socket.waitForReadyRead(mWaitMs);
    const QString answer = QString::fromUtf8(socket.readAll());
    if (answer.isEmpty()) {
        qDebug() << "stop voViredo failed";
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
    if (owner != QThread::currentThread() && owner && owner->isRunning()) {
        QMetaObject::invokeMethod(
            this, [this]() { onTerminateServerProcesses(); }, Qt::BlockingQueuedConnection);
    } else {
        onTerminateServerProcesses();
    }
}

void HardWareInfo::onTerminateServerProcesses()
{
    for (QProcess* process : qAsConst(mServerProcesses)) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
        }
    }
    for (QProcess* process : qAsConst(mServerProcesses)) {
        if (process->state() != QProcess::NotRunning && !process->waitForFinished(mWaitMs)) {
            process->kill();
            process->waitForFinished(mWaitMs);
        }
    }
}
