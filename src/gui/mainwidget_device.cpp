// SPDX-License-Identifier: GPL-3.0-or-later
// The display session as the window sees it: the feed runs it, the window shows the link and says what it cannot.
#include "dashboardstyles.h"
#include "displayfeed.h"
#include "mainwidget.h"
#include "ui_mainwidget.h"

namespace {
constexpr int kAccessWarningMs = 15000;

const char* const kNotAccessibleTitle = "Orvane cannot reach the display";
const char* const kNotAccessibleMessage = "The cooler display is connected, but this user may not use it. Install "
                                          "the udev rule 70-orvane-display.rules (see the README), then plug the "
                                          "display in again.";
} // namespace

void MainWidget::onUsbHidInit()
{
    connect(mFeed, &DisplayFeed::signal_linkState, this, &MainWidget::onShowLinkState);
    connect(mFeed, &DisplayFeed::signal_notAccessible, this, [this]() {
        if (mTrayicon) {
            mTrayicon->showMessage(QString::fromUtf8(kNotAccessibleTitle),
                                   QString::fromUtf8(kNotAccessibleMessage),
                                   QSystemTrayIcon::Warning,
                                   kAccessWarningMs);
        }
    });
    connect(mFeed, &DisplayFeed::signal_figures, this, &MainWidget::onShowFigures);
    setPicture(ui->main_img_linkstate, kLinkStateNotLinked);
}

void MainWidget::onShowLinkState(DisplayFeed::LinkState state)
{
    using State = DisplayFeed::LinkState;
    // A display that just came in, or one closed after a wake-up, shows as linked until a handshake links it; a
    // handshake that fails leaves the picture as it was.
    if (state == State::Linked || state == State::Arrived || state == State::Closed) {
        setPicture(ui->main_img_linkstate, kLinkStateLinked);
    } else if (state != State::Absent && state != State::Silent) {
        setPicture(ui->main_img_linkstate, kLinkStateNotLinked);
    }
    onShowHolder(state == State::HeldElsewhere);
}

void MainWidget::onUsbConnect()
{
    mFeed->onUsbConnect();
}

void MainWidget::onUsbDisConnect()
{
    mFeed->onUsbDisConnect();
}

void MainWidget::slot_usbHidMonitor(bool isConnect)
{
    mFeed->slot_usbHidMonitor(isConnect);
}

void MainWidget::onUsbHidSendValue(int tem, int fan, int load)
{
    mFeed->onUsbHidSendValue(tem, fan, load);
}

void MainWidget::onSystemSuspend()
{
    mFeed->onSystemSuspend();
}

void MainWidget::onSystemResume()
{
    mFeed->onSystemResume();
}
