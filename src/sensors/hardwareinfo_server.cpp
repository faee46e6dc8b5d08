// The sensor server's process: start, stop request and the clean-up when the application quits.
#include "hardwareinfo.h"
#include "logcategories.h"
#include "sensorendpoint.h"

#include <QCoreApplication>
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
    if (mQuitting.load()) {
        return;
    }
    if (!QFileInfo::exists(mServerProgram)) {
        if (!mServerMissingSaid) {
            mServerMissingSaid = true;
            qCWarning(lcSensors).noquote() << "no sensor server at" << mServerProgram << "- readings are 0";
        }
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
    if (!process->waitForStarted(mWaitMs)) {
        qCWarning(lcSensors).noquote() << "the sensor server" << mServerProgram
                                       << "could not be started:" << process->errorString();
    } else {
        const qint64 pid = process->processId();
        qCInfo(lcSensors).noquote() << (mServerStarts++ == 0 ? "sensor server started, pid"
                                                             : "sensor server restarted, pid")
                                    << pid;
        connect(process,
                qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
                this,
                [this, pid](int code, QProcess::ExitStatus status) {
                    // A clean end is a stop request or a signal. Otherwise its own error output, which reaches
                    // ours, says why (a socket it cannot listen on, for one).
                    if (!mQuitting.load() && (status == QProcess::CrashExit || code != 0)) {
                        qCWarning(lcSensors).noquote()
                            << "sensor server" << pid
                            << (status == QProcess::CrashExit ? QStringLiteral("was killed or crashed")
                                                              : QStringLiteral("ended with exit code %1").arg(code));
                    }
                });
    }
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
