// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_HARDWAREINFO_H
#define ORVANE_HARDWAREINFO_H

#include "hwinfodata.h"

#include <QDomNodeList>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>

class QLocalSocket;
class ServerKeeper;

// Client of the sensor server. Lives on its own worker thread; onStartVoViredo, onStopVoViredo and
// onWriteHwInfoData may also be called from the GUI thread.
class HardWareInfo : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultWaitMs = 30000;

    // The sensor server beside the program, every wait for it at most kDefaultWaitMs.
    explicit HardWareInfo(QObject* parent = nullptr);
    // `serverProgram` is started when nobody answers; every wait for the server is at most `waitMs`.
    HardWareInfo(const QString& serverProgram, int waitMs, QObject* parent = nullptr);
    ~HardWareInfo() override;

    void onStartVoViredo();
    void onStopVoViredo();
    void onWriteHwInfoData();

signals:
    void signal_hwReadData(ST_HWINFO_DATA);
    // Every temperature and fan of the reading, sent just before its figures.
    void signal_hwSensorList(ST_SENSOR_LIST);
    // The same reading whole, after the two above: what the display feed takes, one crossing per reading.
    void signal_hwReading(ST_HW_READING);

private slots:
    void onClearVoViredoData();
    void onClearHwInfoData();
    void onReadVoViredo();
    bool parseServerData(QString rootStr);
    bool parseSensorValue(QDomNodeList sensorNodes, QString name, QString type, int minValue, int& out);
    void slot_hwGetData();

private:
    bool onConnectServer(QLocalSocket& socket);
    // Waits up to `ms` for the socket to connect, giving up early once the program quits.
    bool waitForConnected(QLocalSocket& socket, int ms);
    void onHookQuit();
    // The application quits or was asked to end: pending waits give up at once.
    bool isQuitting() const;
    void onQuitCleanUp();

    QString mLastHwInfo;
    ST_HWINFO_DATA mstHwinfoData;
    ST_VOVIREDO_DATA mstServerData;
    ST_SENSOR_LIST mstSensorList;

    // Guards mLastHwInfo and the file copy, which the GUI thread writes too.
    QMutex mLastHwInfoMutex;
    // The server processes this client started; a child, so that it lives on this object's thread.
    ServerKeeper* mServer;
    bool mQuitHooked = false;
    // Requests that waited in the queue behind a slow one are answered by its reply.
    bool mBacklogPending = false;
    // Set when the application quits: pending work gives up at once instead of waiting.
    std::atomic<bool> mQuitting {false};
    const int mWaitMs;
    // Whether the log has said that the server does not answer. This object's thread only.
    bool mServerSilent = false;

    friend struct HardWareInfoProbe;
};

#endif // ORVANE_HARDWAREINFO_H
