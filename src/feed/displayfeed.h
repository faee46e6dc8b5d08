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

// What reaches the display, with or without a window: the sensor client on its worker thread, the session with the
// display (handshake, value frames, arrival and removal, sleep and wake, the hold), the limits and the choice of
// figures. Paced from outside (the window's tick, through signal_hwGetData) or by a timer of its own. Lives on the
// thread that made it, which runs every HID exchange.
class DisplayFeed : public QObject
{
    Q_OBJECT

public:
    static constexpr int kReadingIntervalMs = 2000;

    // What became of the link to the display; each change is logged once.
    enum class LinkState { Unknown, Linked, Absent, Silent, Lost, Closed, HeldElsewhere };

    explicit DisplayFeed(QObject* parent = nullptr);
    ~DisplayFeed() override;

    // The display side: transport, frame builder, arrival and removal notices (delivered to `window` where the OS
    // sends them to a window; 0 elsewhere) and sleep notices. The first handshake is the caller's to run.
    void onUsbHidInit(quintptr window);
    // The sensor client on its worker thread; each signal_hwGetData becomes one request.
    void onInitHwInfo();
    void onStartVoViredo();
    // Readings neither send nor link before this (the window's start-up sweep holds them back).
    void releaseTraffic();
    // Paces the readings itself: one at once, then one every kReadingIntervalMs.
    void startPacing();
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

    // One reading's figures and sensors, as the sensor client delivers them.
    void slot_hwReadData(ST_HWINFO_DATA stHwInfoData);
    void slot_hwSensorList(ST_SENSOR_LIST list);

    bool isLinked() const { return mIsUsbConnect; }
    bool isHeldElsewhere() const { return mLinkState == LinkState::HeldElsewhere; }

signals:
    // A request for one reading; queued to the sensor client.
    void signal_hwGetData();
    // One reading's figures after the choice and the limits, before they go to the display.
    void signal_figures(int tem, int fan, int load);
    void signal_sensorList(ST_SENSOR_LIST list);
    // The link picture to show: linked or not.
    void signal_linkPicture(bool linked);
    // Another Orvane holds the display (true), or no longer (false).
    void signal_heldElsewhere(bool held);
    // The display is there but this user may not open its node.
    void signal_notAccessible(QString node);

private:
    void onStopHwInfoThread();
    void onLinkState(LinkState state, const QString& text);
    // Takes the hold and opens the display; false (said in the log) when it cannot be had.
    bool onOpenHeldDisplay();

    USBHidApi* mUsbHidApi = nullptr;
    USBProtocol* mUsbProtocol = nullptr;
    HardWareInfo* mHardWareInfo = nullptr;
    QThread* mHardWareInfoThread = nullptr;
    QTimer* mPacer = nullptr;
    DisplayHold mHold;
    uchar mSeedValue = 0;
    bool mIsUsbConnect = false;
    bool mTrafficReleased = false;
    bool mStopped = false;
    LinkState mLinkState = LinkState::Unknown;
    FigureChoice mTemChoice {FigureChoice::kRulesTemperature};
    FigureChoice mFanChoice {FigureChoice::kRulesFan};
    FigureChoice mLoadChoice {FigureChoice::kRulesLoad};
    ST_SENSOR_LIST mSensors {false, {}, {}};

    friend struct DisplayFeedProbe;
};

#endif // ORVANE_DISPLAYFEED_H
