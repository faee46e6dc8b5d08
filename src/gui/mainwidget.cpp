// SPDX-License-Identifier: GPL-3.0-or-later
// The controller itself: construction in its fixed order, the sweep's tick and Accept.
#include "mainwidget.h"

#include "dashboardstyles.h"
#include "figuresettings.h"
#include "imageresources.h"
#include "panelshadow.h"
#include "sensorselector.h"
#include "settingmenu.h"
#include "ui_mainwidget.h"

#include <QComboBox>
#include <QTimer>

namespace {
constexpr int kTickIntervalMs = 10;
constexpr int kSweepFrameEveryTicks = 5;
constexpr int kStartServerDelayMs = 2000;
} // namespace

DisplayFeed::Options MainWidget::feedOptions()
{
    DisplayFeed::Options options;
    options.firstReadingAtOnce = false;
    options.serverStartDelayMs = kStartServerDelayMs;
    options.trafficWaitsForSweep = true;
    options.clientThread = true;
    return options;
}

MainWidget::MainWidget(QWidget* parent) : MainWidget(feedOptions(), parent) { }

MainWidget::MainWidget(const DisplayFeed::Options& feedOptions, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_Widget)
    , m_MousePressed(false)
    , m_MousePos(0, 0)
    , m_WindowPos(0, 0)
    , sysTimer(nullptr)
    , mTrayicon(nullptr)
    , mTrayMenu(nullptr)
    , mSettingMenu(nullptr)
    , mFeed(nullptr)
    , mIsFinishInit(false)
    , mDbdMovieCount(0)
    , mDbdMovieNumber(0)
{
    initImageResources();
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setFocusPolicy(Qt::StrongFocus);

    // The native handle is taken here for device notices, so the window flags above must already be final.
    DisplayFeed::Options options = feedOptions;
    options.noticeWindow = quintptr(winId());
    mFeed = new DisplayFeed(options, this);

    mTemSelector = std::make_unique<SensorSelector>(ui->main_cbx_cpuitem);
    mFanSelector = std::make_unique<SensorSelector>(ui->main_cbx_fanitem);
    mLoadSelector = std::make_unique<SensorSelector>(ui->main_cbx_loaditem);
    struct Selector
    {
        QComboBox* box;
        SensorSelector* selector;
        FigureSettings::Figure figure;
    };
    for (const Selector& each :
         {Selector {ui->main_cbx_cpuitem, mTemSelector.get(), FigureSettings::Figure::Temperature},
          Selector {ui->main_cbx_fanitem, mFanSelector.get(), FigureSettings::Figure::Fan},
          Selector {ui->main_cbx_loaditem, mLoadSelector.get(), FigureSettings::Figure::Load}}) {
        // Only what the user picks is saved, at once; the program's own changes of the selectors are not.
        connect(each.box, QOverload<int>::of(&QComboBox::activated), this, [each]() {
            FigureSettings::save(each.figure, each.selector->chosenKey());
        });
        // Whatever changes the selectors, the display shows what they show.
        connect(each.box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &MainWidget::onHandChoiceToFeed);
    }

    onSysTickTimerInit();
    onUsbHidInit();
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
    // The first handshake, the sensor client, its server 2 s in and the readings.
    mFeed->start();
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
    sysTimer->setTimerType(Qt::PreciseTimer);
    sysTimer->start(kTickIntervalMs);
    connect(sysTimer, &QTimer::timeout, this, &MainWidget::slot_systick_deal);
}

void MainWidget::slot_systick_deal()
{
    if (mDbdMovieCount <= 0) {
        // Nothing to show between two sweeps: the tick sleeps until the next one.
        sysTimer->stop();
        return;
    }
    --mDbdMovieCount;
    if (mDbdMovieCount > 0) {
        return;
    }
    if (mDbdMovieNumber <= kDbdArraySize - 1) {
        ui->main_dbd_bgi->setStyleSheet(QString::fromLatin1(dbdArray[mDbdMovieNumber]));
        ++mDbdMovieNumber;
        mDbdMovieCount = kSweepFrameEveryTicks;
    } else {
        sysTimer->stop();
        if (!mIsFinishInit) {
            mIsFinishInit = true;
            mFeed->sweepFinished();
        }
    }
}

void MainWidget::onInitHwInfo()
{
    connect(this, &MainWidget::signal_hwGetData, mFeed, &DisplayFeed::requestReading);
    connect(mFeed, &DisplayFeed::signal_sensorList, this, &MainWidget::onSensorListToSelectors);
}

void MainWidget::on_main_btn_accept_clicked()
{
    mDbdMovieNumber = 0;
    mDbdMovieCount = kSweepFrameEveryTicks;
    sysTimer->start(kTickIntervalMs);
    onHideToTray();
}
