// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DISPLAYFEEDPROBE_H
#define ORVANE_DISPLAYFEEDPROBE_H

#include "displayfeed.h"

// Read access to the feed's private state for tests; every change still goes through its real operations.
struct DisplayFeedProbe
{
    // A feed that takes readings only when the test asks (requestReading) and starts no sensor server ahead of
    // them; its traffic waits for sweepFinished(), as the window's does.
    static DisplayFeed::Options byHand()
    {
        DisplayFeed::Options options;
        options.pacesItself = false;
        options.serverStartDelayMs = -1;
        options.trafficWaitsForSweep = true;
        options.clientThread = true;
        return options;
    }

    static bool isUsbConnect(const DisplayFeed& f) { return f.mIsUsbConnect; }
    static uchar seedValue(const DisplayFeed& f) { return f.mSeedValue; }
    static bool holdsDisplay(const DisplayFeed& f) { return f.mHold.isHeld(); }
    static HardWareInfo* hardWareInfo(const DisplayFeed& f) { return f.mHardWareInfo; }
    static QThread* hardWareInfoThread(const DisplayFeed& f) { return f.mHardWareInfoThread; }
    static QTimer* pacer(const DisplayFeed& f) { return f.mPacer; }
    static USBHidApi* usbHidApi(const DisplayFeed& f) { return f.mUsbHidApi; }
    static USBProtocol* usbProtocol(const DisplayFeed& f) { return f.mUsbProtocol; }
};

#endif // ORVANE_DISPLAYFEEDPROBE_H
