// SPDX-License-Identifier: GPL-3.0-or-later
// Window chrome, tray icon and the settings drop-down of the main window.
#include "displayfeed.h"
#include "logcategories.h"
#include "mainwidget.h"
#include "sensorselector.h"
#include "settingmenu.h"
#include "traydock.h"
#include "traywatcher.h"
#include "ui_mainwidget.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QShortcut>
#include <QWindow>

namespace {
constexpr int kDragStripHeight = 40;
constexpr int kSettingMenuLeftOfRightEdge = 150;
constexpr int kSettingMenuBelowTop = 45;
} // namespace

void MainWidget::mousePressEvent(QMouseEvent* event)
{
    const QPoint local = mapFromGlobal(QCursor::pos());
    const QRect dragStrip(0, 0, width(), kDragStripHeight);
    if (dragStrip.contains(local) && event->button() == Qt::LeftButton) {
        // The window system moves the window where it can; on Wayland nothing else can. Where it cannot (no
        // window manager, offscreen), the window follows the pointer itself.
        if (windowHandle() && windowHandle()->startSystemMove()) {
            return;
        }
        m_WindowPos = pos();
        m_MousePos = event->globalPos();
        m_MousePressed = true;
    }
}

void MainWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (m_MousePressed) {
        move(m_WindowPos + (event->globalPos() - m_MousePos));
    }
}

void MainWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_MousePressed = false;
    }
}

void MainWidget::on_title_btn_close_clicked()
{
    onHideToTray();
}

void MainWidget::onHideToTray()
{
    mTrayDock->hideToTray();
}

void MainWidget::startHidden()
{
    mTrayDock->startHidden();
}

void MainWidget::on_title_btn_minimize_clicked()
{
    showMinimized();
}

void MainWidget::on_title_btn_setting_clicked()
{
    QPoint corner = rect().topRight();
    corner.setX(corner.x() - kSettingMenuLeftOfRightEdge);
    corner.setY(corner.y() + kSettingMenuBelowTop);
    mSettingMenu->exec(mapToGlobal(corner));
}

void MainWidget::onSysTrayIconInit()
{
    mTrayMenu = new QMenu(this);

    auto* closeDisplay = new QAction(tr("hide"), this);
    auto* openDisplay = new QAction(tr("show"), this);
    auto* exitApp = new QAction(tr("exit"), this);
    closeDisplay->setIcon(QIcon(QStringLiteral(":/image/close_dis.png")));
    openDisplay->setIcon(QIcon(QStringLiteral(":/image/open_dis.png")));
    exitApp->setIcon(QIcon(QStringLiteral(":/image/exit_app.png")));

    mTrayMenu->addAction(closeDisplay);
    mTrayMenu->addAction(openDisplay);
    mTrayMenu->addSeparator();
    mTrayMenu->addAction(exitApp);

    connect(closeDisplay, &QAction::triggered, this, &MainWidget::slot_sysTrayCloseDisplay);
    connect(openDisplay, &QAction::triggered, this, &MainWidget::slot_sysTrayOpenDisplay);
    connect(exitApp, &QAction::triggered, this, &MainWidget::slot_sysTrayExitApp);
    // The same way out from the keyboard, for desktops that have no tray to show the menu in.
    auto* quitShortcut = new QShortcut(QKeySequence::Quit, this);
    connect(quitShortcut, &QShortcut::activated, exitApp, &QAction::trigger);

    // The icon itself is made once a tray is there (at once where nothing can tell).
    mTrayDock = new TrayDock(this, TrayWatcher::create(this), [this]() { return onCreateTrayIcon(); });
}

QSystemTrayIcon* MainWidget::onCreateTrayIcon()
{
    mTrayicon = new QSystemTrayIcon(this);
    mTrayicon->setIcon(QIcon(QStringLiteral(":/image/newlogo.jpg")));
    onShowHolder(mFeed->isHeldElsewhere());
    mTrayicon->setContextMenu(mTrayMenu);
    connect(mTrayicon, &QSystemTrayIcon::activated, this, &MainWidget::slot_sysTrayActive);
    mTrayicon->show();
    return mTrayicon;
}

void MainWidget::onShowHolder(bool heldElsewhere)
{
    if (mTrayicon) {
        mTrayicon->setToolTip(heldElsewhere ? QStringLiteral("Orvane - the display is driven by another Orvane")
                                            : QStringLiteral("Orvane"));
    }
}

void MainWidget::slot_sysTrayActive(QSystemTrayIcon::ActivationReason reason)
{
    // A StatusNotifierItem host sends Activate for a click and never a double click; Qt reports it as a click.
    if (reason == QSystemTrayIcon::DoubleClick ||
        (reason == QSystemTrayIcon::Trigger && mTrayDock->isStatusNotifierItem())) {
        showNormal();
    }
}

void MainWidget::slot_sysTrayCloseDisplay()
{
    // Back to the figures the rules pick, quietly and without touching the settings file.
    for (QComboBox* box : {ui->main_cbx_cpuitem, ui->main_cbx_fanitem, ui->main_cbx_loaditem}) {
        box->blockSignals(true);
    }
    mTemSelector->choose(QString());
    mFanSelector->choose(QString());
    mLoadSelector->choose(QString());
    for (QComboBox* box : {ui->main_cbx_cpuitem, ui->main_cbx_fanitem, ui->main_cbx_loaditem}) {
        box->blockSignals(false);
    }
    onHandChoiceToFeed();
}

void MainWidget::slot_sysTrayOpenDisplay()
{
    onRestoreSelectors();
}

void MainWidget::slot_sysTrayExitApp()
{
    mFeed->onStop();
    close();
}

void MainWidget::onInitSettingMenu()
{
    mSettingMenu = new SettingMenu();
    connect(mSettingMenu, &SettingMenu::signal_menu_version, this, &MainWidget::slot_menu_version);
    connect(mSettingMenu, &SettingMenu::signal_menu_update, this, &MainWidget::slot_menu_update);
}
