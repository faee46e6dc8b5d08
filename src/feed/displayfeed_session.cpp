// SPDX-License-Identifier: GPL-3.0-or-later
// The session with the display: the hold, the handshake, value frames, arrival and removal, sleep and wake.
#include "displaydevice.h"
#include "displayfeed.h"
#include "logcategories.h"
#include "sleepwatcher.h"
#include "usbdevmonitor.h"
#include "usbhidapi.h"
#include "usbprotocol.h"

#include <QThread>

namespace {
// Lets the device settle after it was plugged in, before the handshake.
constexpr unsigned long kArrivalPauseMs = 500;

const char* const kNotAccessibleLog = "the display device is connected, but %1 cannot be opened for reading "
                                      "and writing by this user. Install the udev rule 70-orvane-display.rules (see "
                                      "the README), then unplug the device and plug it in again.";
} // namespace

void DisplayFeed::onUsbHidInit()
{
    mUsbHidApi = new USBHidApi();
    mUsbProtocol = new USBProtocol();

    USBDevMonitor* monitor = USBDevMonitor::getInstance();
    monitor->setDeviceInfo(DisplayDevice::kProductId, DisplayDevice::kVendorId);
    monitor->registerNotify(mOptions.noticeWindow, this);
    connect(monitor, &USBDevMonitor::signal_usbHidMonitor, this, &DisplayFeed::slot_usbHidMonitor);
    connect(monitor, &USBDevMonitor::signal_usbHidNotAccessible, this, [this](const QString& node) {
        qCWarning(lcDevice).noquote() << QString::fromUtf8(kNotAccessibleLog).arg(node);
        emit signal_notAccessible(node);
    });

    if (SleepWatcher* sleepWatcher = SleepWatcher::create(this)) {
        connect(sleepWatcher, &SleepWatcher::signal_suspending, this, &DisplayFeed::onSystemSuspend);
        connect(sleepWatcher, &SleepWatcher::signal_resumed, this, &DisplayFeed::onSystemResume);
    }
}

bool DisplayFeed::onOpenHeldDisplay()
{
    const DisplayHold::Result hold = mHold.take(DisplayDevice::kVendorId, DisplayDevice::kProductId);
    if (hold == DisplayHold::Result::HeldElsewhere) {
        onLinkState(LinkState::HeldElsewhere, QStringLiteral("display held by another Orvane"));
        return false;
    }
    // Without a display to name, the library's own search says why there is none.
    const int opened = hold == DisplayHold::Result::NotFound
                           ? mUsbHidApi->openHid(DisplayDevice::kVendorId, DisplayDevice::kProductId)
                           : mUsbHidApi->openHidPath(mHold.path(), DisplayDevice::kVendorId, DisplayDevice::kProductId);
    if (opened != 0) {
        onLinkState(LinkState::Absent, QStringLiteral("no display found (%1)").arg(mUsbHidApi->lastError()));
        mUsbHidApi->closeHid();
        return false;
    }
    // One that came between the search and the open is driven only once it is held.
    if (hold == DisplayHold::Result::NotFound &&
        mHold.take(DisplayDevice::kVendorId, DisplayDevice::kProductId) != DisplayHold::Result::Held) {
        mUsbHidApi->closeHid();
        return false;
    }
    return true;
}

void DisplayFeed::onUsbConnect()
{
    if (!isStarted("onUsbConnect")) {
        return;
    }
    mIsUsbConnect = false;
    // A handle still open from the last session (suspend or a second arrival notice) would leak otherwise.
    mUsbHidApi->closeHid();

    if (!onOpenHeldDisplay()) {
        return;
    }
    QByteArray reply;
    if (mUsbHidApi->setData(mUsbProtocol->GenerateScramblerSeed()) != 0 || mUsbHidApi->getData(reply) != 0) {
        onLinkState(LinkState::Silent,
                    QStringLiteral("the display does not answer the handshake (%1)").arg(mUsbHidApi->lastError()));
        mUsbHidApi->closeHid();
        return;
    }
    const QByteArray seed = mUsbProtocol->CheckResScrambleSeen(reply);
    if (seed.isEmpty()) {
        onLinkState(LinkState::Silent, QStringLiteral("the display answered the handshake without a seed"));
        mUsbHidApi->closeHid();
        mSeedValue = 0;
        return;
    }
    mSeedValue = uchar(seed.at(0));
    mIsUsbConnect = true;
    onLinkState(LinkState::Linked, QStringLiteral("display linked"));
}

void DisplayFeed::onUsbDisConnect()
{
    if (!isStarted("onUsbDisConnect")) {
        return;
    }
    mUsbHidApi->closeHid();
    mIsUsbConnect = false;
}

void DisplayFeed::slot_usbHidMonitor(bool isConnect)
{
    if (!isStarted("slot_usbHidMonitor")) {
        return;
    }
    if (isConnect) {
        // Another Orvane's display stays its own: no linked picture, no pause, no handshake.
        if (isHeldElsewhere() &&
            mHold.take(DisplayDevice::kVendorId, DisplayDevice::kProductId) == DisplayHold::Result::HeldElsewhere) {
            return;
        }
        // Said at once: the handshake follows after a pause, and tells how it went.
        onLinkState(LinkState::Arrived, QString());
        QThread::msleep(kArrivalPauseMs);
        onUsbConnect();
    } else {
        onLinkState(LinkState::Unplugged, QStringLiteral("display unplugged"));
        onUsbDisConnect();
        mHold.release();
    }
}

void DisplayFeed::onUsbHidSendValue(int tem, int fan, int load)
{
    if (!isStarted("onUsbHidSendValue")) {
        return;
    }
    const QByteArray frame = mUsbProtocol->GenerateShowDevInfo(tem, fan, load);
    QString failure;
    if (mUsbHidApi->setData(mUsbProtocol->Scrambler(mSeedValue, frame)) != 0) {
        failure = QStringLiteral("writing a value frame failed (%1)").arg(mUsbHidApi->lastError());
        mUsbHidApi->closeHid();
    }
    // The reply only paces the device; its content does not matter.
    QByteArray reply;
    if (mUsbHidApi->getData(reply) != 0) {
        if (failure.isEmpty()) {
            failure = QStringLiteral("no reply to a value frame (%1)").arg(mUsbHidApi->lastError());
        }
        mUsbHidApi->closeHid();
    }
    // A session whose exchange failed is over: the next reading runs the handshake again instead of sending
    // into a closed device until someone replugs it.
    if (!failure.isEmpty()) {
        mIsUsbConnect = false;
        onLinkState(LinkState::Lost, QStringLiteral("display lost: ") + failure);
    }
}

bool DisplayFeed::onGetHardWareVersion(QByteArray& retArray)
{
    if (!isStarted("onGetHardWareVersion")) {
        return false;
    }
    const QByteArray request = mUsbProtocol->GenerateHardWareVersion();
    if (mUsbHidApi->setData(request) != 0) {
        return false;
    }
    QByteArray reply;
    if (mUsbHidApi->getData(reply) != 0) {
        return false;
    }
    retArray = mUsbProtocol->CheckResHardWareVersion(reply);
    return true;
}

void DisplayFeed::onSystemSuspend()
{
    qCDebug(lcDevice, "Computer is going to sleep.");
    onUsbConnect();
}

void DisplayFeed::onSystemResume()
{
    if (!isStarted("onSystemResume")) {
        return;
    }
    qCDebug(lcDevice, "Computer wakes up from sleep");
    // Another Orvane's display stays its own.
    if (!isHeldElsewhere()) {
        onLinkState(LinkState::Closed,
                    mIsUsbConnect ? QStringLiteral("display closed after the wake-up; the next reading links it again")
                                  : QString());
    }
    onUsbDisConnect();
}

void DisplayFeed::onLinkState(LinkState state, const QString& text)
{
    if (state == mLinkState) {
        return;
    }
    mLinkState = state;
    // Unplugged is one way of being absent: a handshake that finds no display after it says nothing new.
    const LinkState news = state == LinkState::Unplugged ? LinkState::Absent : state;
    if (!text.isEmpty() && news != mLoggedState) {
        mLoggedState = news;
        // A display that is not there, or one we closed ourselves, is news; one that stopped answering is trouble.
        if (state == LinkState::Silent || state == LinkState::Lost) {
            qCWarning(lcDevice).noquote() << text;
        } else {
            qCInfo(lcDevice).noquote() << text;
        }
    }
    emit signal_linkState(state);
}
