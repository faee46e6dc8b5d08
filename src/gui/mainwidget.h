// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_MAINWIDGET_H
#define ORVANE_MAINWIDGET_H

#include "displayfeed.h"
#include "hwinfodata.h"

#include <QPoint>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

class QMenu;
class QTimer;
class SensorSelector;
class SettingMenu;
class TrayDock;
class Ui_Widget;

// The one top-level window: shows what the display feed tells it and hands the feed the selectors' choice. Its 10 ms
// tick runs only the gauge sweep and tells the feed when the first sweep is over; the feed paces the readings.
class MainWidget : public QWidget
{
    Q_OBJECT

public:
    explicit MainWidget(QWidget* parent = nullptr);
    // The feed run as given (tests drive its readings by hand); the window's notice handle is its own.
    explicit MainWidget(const DisplayFeed::Options& feedOptions, QWidget* parent = nullptr);
    ~MainWidget() override;

    // The log-on start (--bootstart): hidden in the tray, waiting for one that comes up after the program.
    void startHidden();

    // How the window runs its feed: first reading and server start 2 s in, traffic after the start-up sweep.
    static DisplayFeed::Options feedOptions();

signals:
    // Asks the feed for one reading now.
    void signal_hwGetData();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;
#endif

private slots:
    bool onMessageDialog(QString info, int type = 0);
    QString GetIniValue(QString key);
    void onSysTickTimerInit();
    // One tick of 10 ms of the gauge sweep.
    void slot_systick_deal();
    void onInitHwInfo();
    void slot_hwReadData(ST_HWINFO_DATA stHwInfoData);
    void onSysTrayIconInit();
    void slot_sysTrayCloseDisplay();
    void slot_sysTrayOpenDisplay();
    void slot_sysTrayExitApp();
    void slot_sysTrayActive(QSystemTrayIcon::ActivationReason reason);
    void onInitSettingMenu();
    void slot_menu_version();
    void slot_menu_update();
    void on_title_btn_close_clicked();
    void on_title_btn_minimize_clicked();
    void on_title_btn_setting_clicked();
    void onUsbHidInit();
    void onUsbConnect();
    void onUsbDisConnect();
    void slot_usbHidMonitor(bool isConnect);
    void onUsbHidSendValue(int tem, int fan, int load);
    void onSetFanSpeedImage(int value);
    bool onGetHardWareVersion(QByteArray& retArray);
    void oncCreateBootStartTask();
    void onDeleteBootStartTask();
    bool onCheckBootStartTask();
    void on_main_btn_accept_clicked();
    void on_main_ckb_autostart_stateChanged(int arg1);
    // Every temperature and fan of a reading, for the two selectors; comes just before the reading's figures.
    void slot_hwSensorList(ST_SENSOR_LIST list);
    // One reading's figures, as the feed sends them to the display.
    void onShowFigures(int tem, int fan, int load);

private:
    // The computer's sleep and wake notices, from whichever platform layer delivers them.
    void onSystemSuspend();
    void onSystemResume();
    // Hides the window to the tray; without a tray to come back from, minimises it instead.
    void onHideToTray();
    QSystemTrayIcon* onCreateTrayIcon();
    void onSetLoadDigits(int digits);
    // Creating or deleting the log-on entry failed: the box is set back to the truth and the user told why.
    void onBootStartTaskFailed(const QString& message);
    // The selectors as the settings file has them.
    void onRestoreSelectors();
    void onSensorListToSelectors(const ST_SENSOR_LIST& list);
    // The feed shows what the selectors show.
    void onHandChoiceToFeed();
    // The link picture and the tray icon's tooltip for what the feed says of the display.
    void onShowLinkState(DisplayFeed::LinkState state);
    // The tray icon's tooltip: whether this Orvane drives the display or another one does.
    void onShowHolder(bool heldElsewhere);
    // A picture given as a style sheet, set only when it changes.
    static void setPicture(QWidget* widget, const QString& styleSheet);

    Ui_Widget* ui;
    bool m_MousePressed;
    QPoint m_MousePos;
    QPoint m_WindowPos;
    QTimer* sysTimer;
    QSystemTrayIcon* mTrayicon;
    QMenu* mTrayMenu;
    TrayDock* mTrayDock = nullptr;
    SettingMenu* mSettingMenu;
    DisplayFeed* mFeed;
    bool mIsFinishInit;
    int mDbdMovieCount;
    int mDbdMovieNumber;
    std::unique_ptr<SensorSelector> mTemSelector;
    std::unique_ptr<SensorSelector> mFanSelector;
    std::unique_ptr<SensorSelector> mLoadSelector;

    // Tests look at the controller's private state through this one door.
    friend struct MainWidgetProbe;
};

#endif // ORVANE_MAINWIDGET_H
