// SPDX-License-Identifier: GPL-3.0-or-later
// The controller itself: construction in its fixed order, the tick, the sensor client's thread and Accept.
#include "mainwidget.h"

#include "dashboardstyles.h"
#include "displayfeed.h"
#include "imageresources.h"
#include "panelshadow.h"
#include "sensorselector.h"
#include "settingmenu.h"
#include "ui_mainwidget.h"

#include <QComboBox>
#include <QTimer>

namespace {
constexpr int kTickIntervalMs = 10;
constexpr int kSampleEveryTicks = 200;
constexpr int kSweepFrameEveryTicks = 5;
constexpr int kStartServerDelayMs = 2000;
} // namespace

MainWidget::MainWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_Widget)
    , m_MousePressed(false)
    , m_MousePos(0, 0)
    , m_WindowPos(0, 0)
    , sysTimer(nullptr)
    , mTrayicon(nullptr)
    , mTrayMenu(nullptr)
    , mDevSampleTCount(0)
    , mSettingMenu(nullptr)
    , mFeed(nullptr)
    , mIsFinishInit(false)
    , mDbdMovieCount(0)
    , mDbdMovieNumber(0)
{
    initImageResources();
    ui->setupUi(this);
    mFeed = new DisplayFeed(this);
    mTemSelector = std::make_unique<SensorSelector>(ui->main_cbx_cpuitem);
    mFanSelector = std::make_unique<SensorSelector>(ui->main_cbx_fanitem);
    mLoadSelector = std::make_unique<SensorSelector>(ui->main_cbx_loaditem);
    // Only what the user picks is saved, at once; the program's own changes of the selectors are not.
    connect(ui->main_cbx_cpuitem, QOverload<int>::of(&QComboBox::activated), this, [this]() {
        onSetIniValue(QStringLiteral("DevInfo/tem"), mTemSelector->chosenKey());
    });
    connect(ui->main_cbx_fanitem, QOverload<int>::of(&QComboBox::activated), this, [this]() {
        onSetIniValue(QStringLiteral("DevInfo/fan"), mFanSelector->chosenKey());
    });
    connect(ui->main_cbx_loaditem, QOverload<int>::of(&QComboBox::activated), this, [this]() {
        onSetIniValue(QStringLiteral("DevInfo/load"), mLoadSelector->chosenKey());
    });
    // Whatever changes the selectors, the display shows what they show.
    for (QComboBox* box : {ui->main_cbx_cpuitem, ui->main_cbx_fanitem, ui->main_cbx_loaditem}) {
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &MainWidget::onHandChoiceToFeed);
    }

    setWindowFlags(Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setFocusPolicy(Qt::StrongFocus);

    onSysTickTimerInit();
    // The native handle is taken here for device notices, so the window flags above must already be final.
    onUsbHidInit();
    onUsbConnect();
    onInitSettingMenu();
    onSysTrayIconInit();
    // Red glow around the window's background panel.
    new PanelShadow(ui->main_wgt_bgi, QColor(255, 0, 0, 100), 20.0);
    onInitHwInfo();
    ui->main_lcd_tem->display(QStringLiteral("00"));
    mDbdMovieCount = kSweepFrameEveryTicks;

    // Reflect the log-on entry without creating or deleting it.
    const bool bootStartExists = onCheckBootStartTask();
    ui->main_ckb_autostart->blockSignals(true);
    ui->main_ckb_autostart->setCheckState(bootStartExists ? Qt::Checked : Qt::Unchecked);
    ui->main_ckb_autostart->blockSignals(false);

    // The figures the user chose last time, shown as unavailable until the first document lists them.
    onRestoreSelectors();
}

MainWidget::~MainWidget()
{
    delete sysTimer;
    // Before the widgets it reports to.
    delete mFeed;
    delete mSettingMenu;
    delete ui;
}

void MainWidget::onSysTickTimerInit()
{
    sysTimer = new QTimer();
    sysTimer->setSingleShot(false);
    // A coarse timer may slip by 5 %, which over a 2 s sleep is 100 ms.
    sysTimer->setTimerType(Qt::PreciseTimer);
    sysTimer->start(kTickIntervalMs);
    connect(sysTimer, &QTimer::timeout, this, &MainWidget::onSysTickTimeout);
}

void MainWidget::onSysTickTimeout()
{
    // Once the sweep is over nothing happens between two readings: the timer sleeps until the next one is due,
    // and its firing stands for every tick it slept through.
    const int ticks = qMax(1, sysTimer->interval() / kTickIntervalMs);
    for (int i = 0; i < ticks; ++i) {
        slot_systick_deal();
    }
    onArmSysTick();
}

void MainWidget::onArmSysTick()
{
    int interval = 0;
    if (mDbdMovieCount > 0) {
        interval = kTickIntervalMs;
    } else if (mDevSampleTCount > 0) {
        interval = mDevSampleTCount * kTickIntervalMs;
    }
    if (interval == 0) {
        sysTimer->stop();
        return;
    }
    // A repeating timer left alone keeps its phase (Qt schedules each repeat from the previous due time, not from
    // when it was handled), so the readings do not drift.
    if (!sysTimer->isActive() || sysTimer->interval() != interval) {
        sysTimer->start(interval);
    }
}

void MainWidget::onCountSleptTicks()
{
    if (!sysTimer->isActive() || sysTimer->interval() <= kTickIntervalMs) {
        return;
    }
    const int slept = sysTimer->interval() - qMax(0, sysTimer->remainingTime());
    const int ticks = qMin((slept + kTickIntervalMs / 2) / kTickIntervalMs, mDevSampleTCount);
    for (int i = 0; i < ticks; ++i) {
        slot_systick_deal();
    }
}

void MainWidget::slot_systick_deal()
{
    if (mDevSampleTCount > 0) {
        --mDevSampleTCount;
        if (mDevSampleTCount == 0) {
            emit signal_hwGetData();
            mDevSampleTCount = kSampleEveryTicks;
        }
    }

    if (mDbdMovieCount > 0) {
        --mDbdMovieCount;
        if (mDbdMovieCount == 0) {
            if (mDbdMovieNumber <= kDbdArraySize - 1) {
                ui->main_dbd_bgi->setStyleSheet(QString::fromLatin1(dbdArray[mDbdMovieNumber]));
                ++mDbdMovieNumber;
                mDbdMovieCount = kSweepFrameEveryTicks;
            } else {
                mDbdMovieCount = 0;
                mIsFinishInit = true;
                mFeed->releaseTraffic();
            }
        }
    }
}

void MainWidget::onInitHwInfo()
{
    mFeed->onInitHwInfo();
    // The tick's requests go to the feed's sensor client.
    connect(this, &MainWidget::signal_hwGetData, mFeed, &DisplayFeed::signal_hwGetData);
    connect(mFeed, &DisplayFeed::signal_sensorList, this, &MainWidget::onSensorListToSelectors);

    mDevSampleTCount = kSampleEveryTicks;
    QTimer::singleShot(kStartServerDelayMs, this, &MainWidget::onStartVoViredo);
}

void MainWidget::onStartVoViredo()
{
    mFeed->onStartVoViredo();
}

void MainWidget::on_main_btn_accept_clicked()
{
    // The sweep needs the 10 ms tick again; the ticks slept through so far count first, so that the readings keep
    // their schedule. A stopped tick (tests drive it by hand) stays stopped.
    const bool ticking = sysTimer->isActive();
    if (ticking) {
        onCountSleptTicks();
    }
    mDbdMovieNumber = 0;
    mDbdMovieCount = kSweepFrameEveryTicks;
    if (ticking) {
        onArmSysTick();
    }
    onHideToTray();
}
