// SPDX-License-Identifier: GPL-3.0-or-later
#include "traydock.h"

#include "logcategories.h"
#include "traywatcher.h"

#include <QEvent>
#include <QSystemTrayIcon>
#include <QWidget>

namespace {
const char* protocolName(bool statusNotifierItem)
{
    return statusNotifierItem ? "StatusNotifierItem" : "XEmbed";
}
} // namespace

TrayDock::TrayDock(QWidget* window, TrayWatcher* watcher, std::function<QSystemTrayIcon*()> iconMaker)
    : QObject(window), mWindow(window), mWatcher(watcher), mMakeIcon(std::move(iconMaker))
{
    mWaitTimer.setSingleShot(true);
    connect(&mWaitTimer, &QTimer::timeout, this, &TrayDock::onWaitOver);
    mWindow->installEventFilter(this);
    if (!mWatcher) {
        mIcon = mMakeIcon();
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            qCInfo(lcShell) << "no system tray on this desktop: Accept and the close button minimise the window,"
                            << "and Ctrl+Q ends the program";
        }
        return;
    }
    mWatcher->setParent(this);
    connect(mWatcher, &TrayWatcher::signal_changed, this, &TrayDock::onTrayChanged);
    if (mWatcher->statusNotifierHostRegistered() || mWatcher->xembedTrayPresent()) {
        makeIcon();
    } else {
        qCInfo(lcShell) << "no system tray on this desktop yet: Accept and the close button minimise the window,"
                        << "and Ctrl+Q ends the program; the icon goes into a tray that comes later";
    }
}

void TrayDock::makeIcon()
{
    // Asked right before the icon is made, as Qt asks when it makes it: Qt reports the host's Activate and an
    // XEmbed click alike, and says nothing public about which protocol it chose.
    mStatusNotifierItem = mWatcher->statusNotifierHostRegistered();
    mIcon = mMakeIcon();
    mIconTrayPresent = true;
}

bool TrayDock::trayPresent() const
{
    if (!mWatcher) {
        return QSystemTrayIcon::isSystemTrayAvailable();
    }
    // Only a tray of the icon's protocol counts: Qt never moves an icon from one protocol to the other.
    return mIcon && mIconTrayPresent;
}

void TrayDock::onTrayChanged()
{
    if (!mIcon) {
        if (!mWatcher->statusNotifierHostRegistered() && !mWatcher->xembedTrayPresent()) {
            return;
        }
        makeIcon();
        qCInfo(lcShell).nospace() << "a system tray came (" << protocolName(mStatusNotifierItem)
                                  << "): the icon is in it";
        if (mWaitTimer.isActive()) {
            mWaitTimer.stop();
        } else if (mMinimisedForLackOfTray) {
            mWindow->hide();
            mMinimisedForLackOfTray = false;
        }
        return;
    }
    const bool present = mStatusNotifierItem ? mWatcher->statusNotifierHostRegistered() : mWatcher->xembedTrayPresent();
    if (present == mIconTrayPresent) {
        return;
    }
    mIconTrayPresent = present;
    if (!present) {
        qCInfo(lcShell) << "the system tray went away: a window hidden in it is shown minimised until it returns";
        if (!mWindow->isVisible()) {
            minimiseForLackOfTray();
        }
    } else {
        qCInfo(lcShell) << "the system tray is back";
        if (mMinimisedForLackOfTray) {
            mWindow->hide();
            mMinimisedForLackOfTray = false;
        }
    }
}

void TrayDock::hideToTray()
{
    if (trayPresent()) {
        mWindow->hide();
    } else {
        minimiseForLackOfTray();
    }
}

void TrayDock::startHidden()
{
    if (trayPresent()) {
        mWindow->hide();
        return;
    }
    if (!mWatcher || mIcon) {
        // Nothing can tell when a tray comes, or the one there at start is gone already: no way back but this.
        minimiseForLackOfTray();
        return;
    }
    mWindow->hide();
    const int seconds = trayWaitSeconds();
    qCInfo(lcShell) << "started hidden: waiting up to" << seconds << "s for a system tray";
    mWaitTimer.start(seconds * 1000);
}

void TrayDock::onWaitOver()
{
    if (!mIcon) {
        qCInfo(lcShell) << "no system tray came within" << trayWaitSeconds()
                        << "s: the window is minimised, and hidden in a tray that comes later";
        minimiseForLackOfTray();
    }
}

void TrayDock::minimiseForLackOfTray()
{
    mWindow->showMinimized();
    mMinimisedForLackOfTray = true;
}

int TrayDock::trayWaitSeconds()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("ORVANE_TRAY_WAIT_SECONDS", &ok);
    return ok ? qBound(0, seconds, kTrayWaitSeconds) : kTrayWaitSeconds;
}

bool TrayDock::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == mWindow && event->type() == QEvent::WindowStateChange && !mWindow->isMinimized()) {
        // Restored by hand: the window stays where its user put it when a tray comes.
        mMinimisedForLackOfTray = false;
    }
    return QObject::eventFilter(watched, event);
}
