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
class QProcess;

// What the parser fills; the same three fields as ST_HWINFO_DATA.
typedef struct
{
    int cputmp;
    int cpuload;
    int cpufan;
} ST_VOVIREDO_DATA;

// Client of the sensor server. Lives on its own worker thread; onStartVoViredo, onStopVoViredo and
// onWriteHwInfoData may also be called from the GUI thread.
class HardWareInfo : public QObject
{
    Q_OBJECT

public:
    explicit HardWareInfo(QObject* parent = nullptr);
    ~HardWareInfo() override;

    void onStartVoViredo();
    void onStopVoViredo();
    void onWriteHwInfoData();

signals:
    void signal_hwReadData(ST_HWINFO_DATA);

private slots:
    void onClearVoViredoData();
    void onClearHwInfoData();
    void onReadVoViredo();
    bool parseServerData(QString rootStr);
    bool parseSensorValue(QDomNodeList sensorNodes, QString name, QString type, int minValue, int& out);
    void slot_hwGetData();

private:
    bool onConnectServer(QLocalSocket& socket);
    void onStartServerProcess();
    bool isServerProcessRunning();
    void onHookQuit();
    void onQuitCleanUp();
    void onTerminateServerProcesses();

    QString mLastHwInfo;
    ST_HWINFO_DATA mstHwinfoData;
    ST_VOVIREDO_DATA mstServerData;

    // Guards mLastHwInfo and the file copy, which the GUI thread writes too.
    QMutex mLastHwInfoMutex;
    // Server processes this client started. Created, watched and ended only on this object's thread.
    QList<QProcess*> mServerProcesses;
    bool mQuitHooked = false;
    // Requests that waited in the queue behind a slow one are answered by its reply.
    bool mBacklogPending = false;
    // Set when the application quits: pending work gives up at once instead of waiting.
    std::atomic<bool> mQuitting {false};
    QString mServerProgram;
    int mWaitMs = 30000;
    // What the log has said about the server, so that a lasting state is said once. This object's thread only.
    int mServerStarts = 0;
    bool mServerMissingSaid = false;
    bool mServerSilent = false;

    friend struct HardWareInfoProbe;
};

#endif // ORVANE_HARDWAREINFO_H
