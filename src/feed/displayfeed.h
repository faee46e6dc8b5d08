// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DISPLAYFEED_H
#define ORVANE_DISPLAYFEED_H

#include "displayhold.h"
#include "figurechoice.h"
#include "hwinfodata.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class HardWareInfo;
class QThread;
class QTimer;
class USBHidApi;
class USBProtocol;

// What reaches the display, with or without a window: the schedule of the readings, the sensor client (on a worker
// thread of its own where a window must stay responsive), the session with the display (handshake, value frames,
// arrival and removal, sleep and wake, the hold), the limits and the choice of figures. Lives on the thread that made
// it, which runs every HID exchange.
class DisplayFeed : public QObject
{
    Q_OBJECT

public:
    static constexpr int kReadingIntervalMs = 2000;

    // What became of the link to the display, told on each change.
    enum class LinkState {
        Unknown,
        Linked,
        // A display was plugged in; its handshake follows at once.
        Arrived,
        // No display to link at a handshake, or one that could not be opened.
        Absent,
        // The display went away while linked.
        Unplugged,
        Silent,
        Lost,
        // Closed by the feed after a wake-up; the next reading links it again.
        Closed,
        HeldElsewhere
    };
    Q_ENUM(LinkState)

    // How a program runs the feed; fixed for the feed's life.
    struct Options
    {
        // Where the OS delivers arrival and removal notices to a window (Windows); 0 elsewhere.
        quintptr noticeWindow = 0;
        // Off, readings come only from requestReading() (tests drive them by hand).
        bool pacesItself = true;
        // A reading at once, then one every kReadingIntervalMs; otherwise the first after one interval.
        bool firstReadingAtOnce = true;
        // The sensor server is started this long after start(); negative: only once a reading finds none.
        int serverStartDelayMs = 0;
        // Readings neither send nor link until sweepFinished() (the window's start-up sweep).
        bool trafficWaitsForSweep = false;
        // The sensor client on a worker thread of its own, so that its waits never hold up a window; without one
        // it shares the feed's thread, which then wakes once per reading less.
        bool clientThread = false;
    };

    // With the default options: the service's way.
    explicit DisplayFeed(QObject* parent = nullptr);
    explicit DisplayFeed(const Options& options, QObject* parent = nullptr);
    ~DisplayFeed() override;

    // Sets everything up in its order: the display side and its first handshake, the sensor client on its thread,
    // the sensor server and the pacing. Once: a second call is refused (false, logged).
    bool start();
    // The window's start-up sweep is over: readings may send and link from now on.
    void sweepFinished();
    // One reading now, beside the pacing or in its place.
    void requestReading();
    // Any time, also before start().
    void chooseFigures(const QString& temKey, const QString& fanKey, const QString& loadKey);
    // The way out: asks the sensor server to stop and closes the display.
    void onStop();

    // The session.
    void onUsbConnect();
    void onUsbDisConnect();
    void slot_usbHidMonitor(bool isConnect);
    void onUsbHidSendValue(int tem, int fan, int load);
    void onSystemSuspend();
    void onSystemResume();
    bool onGetHardWareVersion(QByteArray& retArray);
    // The diagnostic copy of the last document, written again.
    void onWriteHwInfoData();

    // One reading as the sensor client delivers it: its sensors for the selectors, its figures for the display.
    void slot_hwReading(ST_HW_READING reading);
    // Its two halves, the sensors first (the window's slots of the same names hand them on).
    void slot_hwSensorList(ST_SENSOR_LIST list);
    void slot_hwReadData(ST_HWINFO_DATA stHwInfoData);

    bool isLinked() const { return mIsUsbConnect; }
    LinkState linkState() const { return mLinkState; }
    bool isHeldElsewhere() const { return mLinkState == LinkState::HeldElsewhere; }

signals:
    // A request for one reading; queued to the sensor client.
    void signal_hwGetData();
    // One reading's figures after the choice and the limits, before they go to the display.
    void signal_figures(int tem, int fan, int load);
    void signal_sensorList(ST_SENSOR_LIST list);
    void signal_linkState(DisplayFeed::LinkState state);
    // The display is there but this user may not open its node.
    void signal_notAccessible(QString node);

private:
    // The one gate for calls that need a started feed; says in the log what was refused.
    bool isStarted(const char* call) const;
    void onUsbHidInit();
    void onInitHwInfo();
    void onStartVoViredo();
    void startPacing();
    void onStopHwInfoThread();
    void onLinkState(LinkState state, const QString& text);
    // Takes the hold and opens the display; false (said in the log) when it cannot be had.
    bool onOpenHeldDisplay();

    const Options mOptions;
    USBHidApi* mUsbHidApi = nullptr;
    USBProtocol* mUsbProtocol = nullptr;
    // Both live on the worker thread, where there is one, and are deleted there as it finishes.
    HardWareInfo* mHardWareInfo = nullptr;
    QTimer* mPacer = nullptr;
    QThread* mHardWareInfoThread = nullptr;
    DisplayHold mHold;
    uchar mSeedValue = 0;
    bool mStarted = false;
    bool mIsUsbConnect = false;
    bool mTrafficReleased = false;
    bool mStopped = false;
    LinkState mLinkState = LinkState::Unknown;
    // What the log said last: a change is logged once, however often the display comes and goes without news.
    LinkState mLoggedState = LinkState::Unknown;
    FigureChoice mTemChoice {FigureChoice::kRulesTemperature};
    FigureChoice mFanChoice {FigureChoice::kRulesFan};
    FigureChoice mLoadChoice {FigureChoice::kRulesLoad};
    ST_SENSOR_LIST mSensors {false, {}, {}, {}};

    friend struct DisplayFeedProbe;
};

#endif // ORVANE_DISPLAYFEED_H
