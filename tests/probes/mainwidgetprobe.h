// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_MAINWIDGETPROBE_H
#define ORVANE_MAINWIDGETPROBE_H

#include "displayfeedprobe.h"
#include "mainwidget.h"
#include "ui_mainwidget.h"

#include <QMetaObject>

// Read access to the controller's private state for tests; every change still goes through its real slots.
struct MainWidgetProbe
{
    // A window whose feed takes readings only when the test asks (signal_hwGetData) and starts no sensor server
    // ahead of them; otherwise as the window runs it.
    static DisplayFeed::Options feedByHand()
    {
        DisplayFeed::Options options = MainWidget::feedOptions();
        options.pacesItself = false;
        options.serverStartDelayMs = -1;
        return options;
    }

    static Ui_Widget* ui(MainWidget& w) { return w.ui; }
    static bool isFinishInit(const MainWidget& w) { return w.mIsFinishInit; }
    static DisplayFeed& feed(const MainWidget& w) { return *w.mFeed; }
    static bool isUsbConnect(const MainWidget& w) { return DisplayFeedProbe::isUsbConnect(*w.mFeed); }
    static uchar seedValue(const MainWidget& w) { return DisplayFeedProbe::seedValue(*w.mFeed); }
    static int dbdMovieCount(const MainWidget& w) { return w.mDbdMovieCount; }
    static int dbdMovieNumber(const MainWidget& w) { return w.mDbdMovieNumber; }
    static QTimer* sysTimer(const MainWidget& w) { return w.sysTimer; }
    static QSystemTrayIcon* trayIcon(const MainWidget& w) { return w.mTrayicon; }
    static QMenu* trayMenu(const MainWidget& w) { return w.mTrayMenu; }
    static SettingMenu* settingMenu(const MainWidget& w) { return w.mSettingMenu; }
    static HardWareInfo* hardWareInfo(const MainWidget& w) { return DisplayFeedProbe::hardWareInfo(*w.mFeed); }
    static QThread* hardWareInfoThread(const MainWidget& w) { return DisplayFeedProbe::hardWareInfoThread(*w.mFeed); }
    static USBHidApi* usbHidApi(const MainWidget& w) { return DisplayFeedProbe::usbHidApi(*w.mFeed); }
    static USBProtocol* usbProtocol(const MainWidget& w) { return DisplayFeedProbe::usbProtocol(*w.mFeed); }
    static QPoint mousePos(const MainWidget& w) { return w.m_MousePos; }
    static QPoint windowPos(const MainWidget& w) { return w.m_WindowPos; }
    static bool mousePressed(const MainWidget& w) { return w.m_MousePressed; }

    // Runs one 10 ms tick of the sweep without waiting for the timer: by name, since the tick is a private slot that
    // only the window's timer reaches. A renamed slot must stop the test, not turn every tick into nothing.
    static void tick(MainWidget& w, int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            if (!QMetaObject::invokeMethod(&w, "slot_systick_deal", Qt::DirectConnection)) {
                qFatal("MainWidgetProbe: MainWidget has no slot slot_systick_deal()");
            }
        }
    }
};

#endif // ORVANE_MAINWIDGETPROBE_H
