// SPDX-License-Identifier: GPL-3.0-or-later
// One request to the sensor server per call of slot_hwGetData, and the file copy of the last reply.
#include "hardwareinfo.h"

#include "diagnosticcopy.h"
#include "logcategories.h"
#include "sensorendpoint.h"
#include "sensorreply.h"
#include "serverkeeper.h"
#include "terminationsignals.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QMetaObject>
#include <QMutexLocker>
#include <QThread>

namespace {
// A request that took this long has let the controller's next requests queue up behind it.
constexpr qint64 kBacklogAfterMs = 1000;
// How often to look again for a server that was just started and does not listen yet.
constexpr int kConnectRetryMs = 20;
// Waits are cut into slices this long, so that quitting is never held up by one.
constexpr int kWaitSliceMs = 100;
} // namespace

HardWareInfo::HardWareInfo(QObject* parent) : HardWareInfo(SensorEndpoint::serverProgram(), kDefaultWaitMs, parent) { }

HardWareInfo::HardWareInfo(const QString& serverProgram, int waitMs, QObject* parent)
    : QObject(parent)
    , mstHwinfoData {0, 0, 0}
    , mstServerData {0, 0, 0}
    , mstSensorList {false, {}, {}}
    , mServer(new ServerKeeper(serverProgram, this))
    , mWaitMs(waitMs)
{
    qRegisterMetaType<ST_HWINFO_DATA>("ST_HWINFO_DATA");
    qRegisterMetaType<ST_SENSOR_LIST>("ST_SENSOR_LIST");
    qRegisterMetaType<ST_HW_READING>("ST_HW_READING");
    onHookQuit();
}

HardWareInfo::~HardWareInfo() = default;

bool HardWareInfo::isQuitting() const
{
    return mQuitting.load() || terminationRequested();
}

void HardWareInfo::onClearVoViredoData()
{
    mstServerData = ST_VOVIREDO_DATA {0, 0, 0};
}

void HardWareInfo::onClearHwInfoData()
{
    mstHwinfoData = ST_HWINFO_DATA {0, 0, 0};
}

void HardWareInfo::slot_hwGetData()
{
    if (mBacklogPending) {
        // Queued while a slow request ran; its reply is the latest reading there is.
        return;
    }
    QElapsedTimer clock;
    clock.start();

    onClearHwInfoData();
    onClearVoViredoData();
    mstSensorList = ST_SENSOR_LIST {false, {}, {}};
    if (!isQuitting()) {
        onReadVoViredo();
    }
    mstHwinfoData.cputmp = mstServerData.cputmp;
    mstHwinfoData.cpuload = mstServerData.cpuload;
    mstHwinfoData.cpufan = mstServerData.cpufan;

    if (clock.elapsed() >= kBacklogAfterMs) {
        // Everything queued up to now comes before this marker and is dropped. The marker goes out before the reply,
        // so that a request made in answer to the reply is served.
        mBacklogPending = true;
        QMetaObject::invokeMethod(
            this, [this]() { mBacklogPending = false; }, Qt::QueuedConnection);
    }
    emit signal_hwSensorList(mstSensorList);
    emit signal_hwReadData(mstHwinfoData);
    emit signal_hwReading(ST_HW_READING {mstHwinfoData, mstSensorList});
}

void HardWareInfo::onReadVoViredo()
{
    onClearVoViredoData();

    QLocalSocket socket;
    if (!onConnectServer(socket)) {
        if (!mServerSilent && !isQuitting()) {
            mServerSilent = true;
            qCWarning(lcSensors).noquote() << "the sensor server does not answer at"
                                           << SensorEndpoint::serverSocketName() << "- readings are 0 until it does";
        }
        return;
    }
    if (mServerSilent) {
        mServerSilent = false;
        qCInfo(lcSensors) << "the sensor server answers again";
    }
    socket.write(SensorProtocol::kReadRequest);
    QElapsedTimer clock;
    clock.start();
    while (socket.bytesToWrite() > 0 && !isQuitting() && clock.elapsed() < mWaitMs) {
        socket.waitForBytesWritten(kWaitSliceMs);
    }
    if (socket.bytesToWrite() > 0) {
        return;
    }
    const QByteArray reply = readSensorReply(socket, mWaitMs, [this]() { return isQuitting(); });
    socket.abort();

    const QString text = QString::fromUtf8(reply);
    {
        QMutexLocker lock(&mLastHwInfoMutex);
        mLastHwInfo = text;
    }
    onWriteHwInfoData();
    parseServerData(text);
}

bool HardWareInfo::onConnectServer(QLocalSocket& socket)
{
    const QString name = SensorEndpoint::serverSocketName();
    socket.connectToServer(name, QIODevice::ReadWrite);
    if (waitForConnected(socket, mWaitMs)) {
        mServer->noteAnswered();
        return true;
    }
    if (isQuitting()) {
        return false;
    }
    // Ours may run and refuse (it lost its socket): twice in a row and it is started afresh.
    mServer->noteRefused();
    onStartVoViredo();
    // A server that was just started needs a moment before it listens: keep trying while it does, within the same
    // wait. A server that has long been running and still refuses is not waited for.
    QElapsedTimer clock;
    clock.start();
    while (mServer->isRunning() && mServer->isStarting() && !isQuitting() &&
           clock.elapsed() + kConnectRetryMs < mWaitMs) {
        socket.abort();
        socket.connectToServer(name, QIODevice::ReadWrite);
        if (waitForConnected(socket, int(mWaitMs - clock.elapsed()))) {
            mServer->noteAnswered();
            return true;
        }
        QThread::msleep(kConnectRetryMs);
    }
    return false;
}

bool HardWareInfo::waitForConnected(QLocalSocket& socket, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QLocalSocket::ConnectingState && !isQuitting()) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0) {
            break;
        }
        socket.waitForConnected(int(qMin<qint64>(left, kWaitSliceMs)));
    }
    return socket.state() == QLocalSocket::ConnectedState;
}

void HardWareInfo::onWriteHwInfoData()
{
    // Held while writing so that the GUI thread and the worker never interleave in the file.
    QMutexLocker lock(&mLastHwInfoMutex);
    DiagnosticCopy::write(mLastHwInfo);
}
