// SPDX-License-Identifier: GPL-3.0-or-later
#include "serverkeeper.h"

#include "logcategories.h"
#include "sensorendpoint.h"

#include <QFileInfo>
#include <QProcess>
#include <csignal>

namespace {
// A server listens within a moment of its start; one that has not after this will not.
constexpr qint64 kStartGraceMs = 5000;
// A server that ends this soon after its start could not serve (a socket it cannot listen on, for one).
constexpr qint64 kQuickEndMs = 5000;
constexpr qint64 kFirstBackOffMs = 2000;
constexpr qint64 kLongestBackOffMs = 60000;
constexpr int kRefusalsBeforeRestart = 2;
} // namespace

ServerKeeper::ServerKeeper(const QString& program, QObject* parent) : QObject(parent), mProgram(program) { }

void ServerKeeper::start()
{
    if (mEnding || isRunning() || !mNextStart.hasExpired()) {
        return;
    }
    if (!QFileInfo::exists(mProgram)) {
        if (!mMissingSaid) {
            mMissingSaid = true;
            qCWarning(lcSensors).noquote() << "no sensor server at" << mProgram << "- readings are 0";
        }
        return;
    }
    QString taken;
    if (SensorEndpoint::isTaken(SensorEndpoint::serverSocketName(), &taken)) {
        // No server could listen there: starting one would only fail again, at every reading.
        if (!mPathTakenSaid) {
            mPathTakenSaid = true;
            qCWarning(lcSensors).noquote()
                << "the sensor server cannot listen:" << taken << "- readings are 0 until it is removed";
        }
        return;
    }
    mPathTakenSaid = false;

    auto* process = new QProcess(this);
    // Output nobody reads would pile up in memory for as long as the server runs; its error output goes to ours.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(mProgram, QStringList {QLatin1String(SensorProtocol::kServerName)}, QIODevice::ReadWrite);
    mLastStart.start();
    mProcesses.append(process);
    if (!process->waitForStarted(mStartWaitMs)) {
        qCWarning(lcSensors).noquote() << "the sensor server" << mProgram
                                       << "could not be started:" << process->errorString();
        return;
    }
    const qint64 pid = process->processId();
    qCInfo(lcSensors).noquote() << (mStarts++ == 0 ? "sensor server started, pid" : "sensor server restarted, pid")
                                << pid;
    connect(process,
            qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
            this,
            [this, process, pid](int code, QProcess::ExitStatus status) {
                onEnded(process, pid, code, status == QProcess::CrashExit);
            });
}

void ServerKeeper::onEnded(QProcess* process, qint64 pid, int code, bool crashed)
{
    if (mEnding) {
        return;
    }
    // A clean end is a stop request or a signal; its own error output, which reaches ours, says why otherwise.
    // For a crash the code is the signal: one sent to end it is somebody's choice, not a failure to start.
    const bool failed = crashed || code != 0;
    const bool endedBySomeone = crashed && (code == SIGKILL || code == SIGTERM);
    if (failed && !endedBySomeone && mProcesses.last() == process && mLastStart.elapsed() < kQuickEndMs) {
        const qint64 backOff = qMin(kFirstBackOffMs << qMin(mQuickEnds, 5), kLongestBackOffMs);
        if (mQuickEnds++ == 0) {
            qCWarning(lcSensors).noquote() << "sensor server" << pid
                                           << (crashed ? QStringLiteral("crashed at once (signal %1)").arg(code)
                                                       : QStringLiteral("ended at once with exit code %1").arg(code))
                                           << "- starting it again after a pause, longer each time it fails";
        }
        mNextStart.setRemainingTime(backOff);
        return;
    }
    if (failed) {
        qCWarning(lcSensors).noquote() << "sensor server" << pid
                                       << (crashed ? QStringLiteral("was killed or crashed")
                                                   : QStringLiteral("ended with exit code %1").arg(code));
    }
}

bool ServerKeeper::isRunning()
{
    bool running = false;
    for (auto it = mProcesses.begin(); it != mProcesses.end();) {
        QProcess* process = *it;
        // A zero wait collects an exit that the event loop has not seen yet (a server killed a moment ago).
        if (process->state() != QProcess::NotRunning && !process->waitForFinished(0)) {
            running = true;
            ++it;
        } else {
            it = mProcesses.erase(it);
            process->deleteLater();
        }
    }
    return running;
}

bool ServerKeeper::isStarting() const
{
    return mLastStart.isValid() && mLastStart.elapsed() < kStartGraceMs;
}

void ServerKeeper::noteRefused()
{
    // One that was just started and is not listening yet gets this reading's wait; a connection that works wipes
    // the count.
    if (!isRunning() || ++mRefusals < kRefusalsBeforeRestart) {
        return;
    }
    qCWarning(lcSensors) << "the sensor server runs but refuses connections: restarting it";
    mRefusals = 0;
    endAll(1000, 1000);
    mEnding = false;
    start();
}

void ServerKeeper::noteAnswered()
{
    mRefusals = 0;
    mQuickEnds = 0;
}

void ServerKeeper::endAll(int terminateMs, int killMs)
{
    mEnding = true;
    for (QProcess* process : qAsConst(mProcesses)) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
        }
    }
    for (QProcess* process : qAsConst(mProcesses)) {
        // A server that is stopped or ignores the request still goes: SIGKILL reaches a stopped process too.
        if (process->state() != QProcess::NotRunning && !process->waitForFinished(terminateMs)) {
            process->kill();
            process->waitForFinished(killMs);
        }
    }
    isRunning();
}

QList<qint64> ServerKeeper::processIds() const
{
    QList<qint64> ids;
    for (const QProcess* process : mProcesses) {
        ids << process->processId();
    }
    return ids;
}
