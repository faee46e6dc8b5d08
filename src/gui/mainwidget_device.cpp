// SPDX-License-Identifier: GPL-3.0-or-later
// The display device session: handshake, value frames, arrival/removal and sleep/wake.
#include "dashboardstyles.h"
#include "displaydevice.h"
#include "logcategories.h"
#include "mainwidget.h"
#include "sleepwatcher.h"
#include "ui_mainwidget.h"
#include "usbdevmonitor.h"
#include "usbhidapi.h"
#include "usbprotocol.h"

#include <QThread>

namespace {
// Lets the device settle after it was plugged in, before the handshake.
constexpr unsigned long kArrivalPauseMs = 500;
constexpr int kAccessWarningMs = 15000;

const char* const kNotAccessibleLog = "the display device is connected, but %1 cannot be opened for reading "
                                      "and writing by this user. Install the udev rule 70-orvane-display.rules (see "
                                      "the README), then unplug the device and plug it in again.";
const char* const kNotAccessibleTitle = "Orvane cannot reach the display";
const char* const kNotAccessibleMessage = "The cooler display is connected, but this user may not use it. Install "
                                          "the udev rule 70-orvane-display.rules (see the README), then plug the "
                                          "display in again.";
} // namespace

void MainWidget::onUsbHidInit()
{
    mUsbHidApi = new USBHidApi();
    mUsbProtocol = new USBProtocol();

    USBDevMonitor* monitor = USBDevMonitor::getInstance();
    monitor->setDeviceInfo(DisplayDevice::kProductId, DisplayDevice::kVendorId);
    monitor->registerNotify(reinterpret_cast<USBDevMonitor::NativeWindow>(winId()));
    connect(monitor, &USBDevMonitor::signal_usbHidMonitor, this, &MainWidget::slot_usbHidMonitor);
    connect(monitor, &USBDevMonitor::signal_usbHidNotAccessible, this, [this](const QString& node) {
        qCWarning(lcDevice).noquote() << QString::fromUtf8(kNotAccessibleLog).arg(node);
        if (mTrayicon) {
            mTrayicon->showMessage(QString::fromUtf8(kNotAccessibleTitle),
                                   QString::fromUtf8(kNotAccessibleMessage),
                                   QSystemTrayIcon::Warning,
                                   kAccessWarningMs);
        }
    });

    if (SleepWatcher* sleepWatcher = SleepWatcher::create(this)) {
        connect(sleepWatcher, &SleepWatcher::signal_suspending, this, [this] { onSystemSuspend(); });
        connect(sleepWatcher, &SleepWatcher::signal_resumed, this, [this] { onSystemResume(); });
    }

    setPicture(ui->main_img_linkstate, kLinkStateNotLinked);
}

void MainWidget::onUsbConnect()
{
    mIsUsbConnect = false;
    // A handle still open from the last session (suspend or a second arrival notice) would leak otherwise.
    mUsbHidApi->closeHid();

    if (mUsbHidApi->openHid(DisplayDevice::kVendorId, DisplayDevice::kProductId) != 0) {
        onLinkState(LinkState::Absent, QStringLiteral("no display found (%1)").arg(mUsbHidApi->lastError()));
        mUsbHidApi->closeHid();
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
    setPicture(ui->main_img_linkstate, kLinkStateLinked);
    onLinkState(LinkState::Linked, QStringLiteral("display linked"));
}

void MainWidget::onUsbDisConnect()
{
    mUsbHidApi->closeHid();
    mIsUsbConnect = false;
    // The linked picture on purpose: removal replaces it at once, and after a resume the next handshake sets it.
    setPicture(ui->main_img_linkstate, kLinkStateLinked);
}

void MainWidget::slot_usbHidMonitor(bool isConnect)
{
    if (isConnect) {
        setPicture(ui->main_img_linkstate, kLinkStateLinked);
        QThread::msleep(kArrivalPauseMs);
        onUsbConnect();
    } else {
        onLinkState(LinkState::Absent, QStringLiteral("display unplugged"));
        onUsbDisConnect();
        setPicture(ui->main_img_linkstate, kLinkStateNotLinked);
    }
}

void MainWidget::onUsbHidSendValue(int tem, int fan, int load)
{
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
        setPicture(ui->main_img_linkstate, kLinkStateNotLinked);
        onLinkState(LinkState::Lost, QStringLiteral("display lost: ") + failure);
    }
}

void MainWidget::onSystemSuspend()
{
    qCDebug(lcDevice, "Computer is going to sleep.");
    onUsbConnect();
}

void MainWidget::onSystemResume()
{
    qCDebug(lcDevice, "Computer wakes up from sleep");
    if (mIsUsbConnect) {
        onLinkState(LinkState::Closed,
                    QStringLiteral("display closed after the wake-up; the next reading links it again"));
    }
    onUsbDisConnect();
}

void MainWidget::onLinkState(LinkState state, const QString& text)
{
    if (state == mLinkState) {
        return;
    }
    mLinkState = state;
    // A display that is not there, or one we closed ourselves, is news; one that stopped answering is trouble.
    if (state == LinkState::Silent || state == LinkState::Lost) {
        qCWarning(lcDevice).noquote() << text;
    } else {
        qCInfo(lcDevice).noquote() << text;
    }
}
