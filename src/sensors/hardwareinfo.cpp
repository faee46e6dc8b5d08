// One request to the sensor server per call of slot_hwGetData, and the file copy of the last reply.
#include "hardwareinfo.h"

#include "diagnosticcopy.h"
#include "logcategories.h"
#include "sensorendpoint.h"
#include "sensorreply.h"

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
} // namespace

HardWareInfo::HardWareInfo(QObject* parent)
    : QObject(parent), mstHwinfoData {0, 0, 0}, mstServerData {0, 0, 0}, mServerProgram(SensorEndpoint::serverProgram())
{
    qRegisterMetaType<ST_HWINFO_DATA>("ST_HWINFO_DATA");
    onHookQuit();
}

HardWareInfo::~HardWareInfo() = default;

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
    if (!mQuitting.load()) {
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
    emit signal_hwReadData(mstHwinfoData);
}

void HardWareInfo::onReadVoViredo()
{
    onClearVoViredoData();

    QLocalSocket socket;
    if (!onConnectServer(socket)) {
        if (!mServerSilent && !mQuitting.load()) {
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
    if (!socket.waitForBytesWritten(mWaitMs)) {
        return;
    }
    const QByteArray reply = readSensorReply(socket, mWaitMs, mQuitting);
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
    if (socket.waitForConnected(mWaitMs)) {
        return true;
    }

    onStartVoViredo();
    // A server that was just started needs a moment before it listens: keep trying while it runs, within the
    // same wait. Without a running server of ours one more attempt is all there is.
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        socket.abort();
        socket.connectToServer(name, QIODevice::ReadWrite);
        const qint64 remaining = mWaitMs - clock.elapsed();
        if (socket.waitForConnected(int(qMax<qint64>(remaining, 0)))) {
            return true;
        }
        if (mQuitting.load() || clock.elapsed() + kConnectRetryMs >= mWaitMs || !isServerProcessRunning()) {
            return false;
        }
        QThread::msleep(kConnectRetryMs);
    }
}

void HardWareInfo::onWriteHwInfoData()
{
    // Held while writing so that the GUI thread and the worker never interleave in the file.
    QMutexLocker lock(&mLastHwInfoMutex);
    DiagnosticCopy::write(mLastHwInfo);
}
