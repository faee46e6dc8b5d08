// The controller's start-up and its 10 ms tick: sampling cadence, the gauge sweep, the accept button.
#include "dashboardstyles.h"
#include "mainwidgetprobe.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class TestMainWidget : public QObject
{
    Q_OBJECT

private:
    // A controller whose real timer is stopped, so that only the test's ticks count.
    static void freeze(MainWidget& w) { MainWidgetProbe::sysTimer(w)->stop(); }
    static QString gauge(MainWidget& w) { return MainWidgetProbe::ui(w)->main_dbd_bgi->styleSheet(); }

    // What the tick's timer did between two moments, on a clock of the test's own: each firing moves it on by the
    // interval the timer was armed with, which is what the real timer waits.
    struct Played
    {
        QList<int> requestsAt;
        QList<int> framesAt;
        // Firings outside the sweep that brought no request: the wake-ups a sleeping tick saves.
        int idleWakeups = 0;
        // Moments at which the reading counter differs from what a tick every 10 ms since the start gives.
        QList<int> counterOff;
    };

    static int play(MainWidget& w, int fromMs, int untilMs, Played& played)
    {
        QSignalSpy requests(&w, &MainWidget::signal_hwGetData);
        QTimer* timer = MainWidgetProbe::sysTimer(w);
        int clock = fromMs;
        while (timer->isActive() && clock + timer->interval() <= untilMs) {
            if (timer->interval() > 10 && timer->timerType() != Qt::PreciseTimer) {
                break;
            }
            clock += timer->interval();
            const bool sweeping = MainWidgetProbe::dbdMovieCount(w) > 0;
            const int frame = MainWidgetProbe::dbdMovieNumber(w);
            const int before = requests.count();
            MainWidgetProbe::fireSysTimer(w);
            if (requests.count() > before) {
                played.requestsAt << clock;
            } else if (!sweeping) {
                ++played.idleWakeups;
            }
            if (MainWidgetProbe::dbdMovieNumber(w) != frame) {
                played.framesAt << clock;
            }
            if (MainWidgetProbe::devSampleTCount(w) != 200 - clock / 10 % 200) {
                played.counterOff << clock;
            }
        }
        return clock;
    }

    static QList<int> sweepFrom(int startMs)
    {
        QList<int> frames;
        for (int k = 0; k < kDbdArraySize; ++k) {
            frames << startMs + 50 * (k + 1);
        }
        return frames;
    }

private slots:
    void constructionLeavesDefinedState()
    {
        MainWidget w;
        freeze(w);
        auto* ui = MainWidgetProbe::ui(w);
        QCOMPARE(ui->main_lcd_tem->intValue(), 0);
        QCOMPARE(ui->main_lcd_tem->digitCount(), 2);
        // "00" on a two-digit LCD: both positions lit with 0; the form's initial gauge is still up.
        QVERIFY(gauge(w).contains(QStringLiteral("bgi_dbd_16.png")));
        QCOMPARE(MainWidgetProbe::dbdMovieCount(w), 5);
        QCOMPARE(MainWidgetProbe::dbdMovieNumber(w), 0);
        QCOMPARE(MainWidgetProbe::devSampleTCount(w), 200);
        QVERIFY(!MainWidgetProbe::isFinishInit(w));
        QVERIFY(w.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(w.testAttribute(Qt::WA_TranslucentBackground));
        QCOMPARE(w.focusPolicy(), Qt::StrongFocus);
        QVERIFY(MainWidgetProbe::sysTimer(w)->interval() == 10);
        QVERIFY(MainWidgetProbe::hardWareInfoThread(w)->isRunning());
        QVERIFY(MainWidgetProbe::trayIcon(w)->isVisible());
        QCOMPARE(MainWidgetProbe::trayIcon(w)->toolTip(), QStringLiteral("Orvane"));
    }

    void temperatureReadoutShowsTwoZeros()
    {
        MainWidget w;
        freeze(w);
        auto* lcd = MainWidgetProbe::ui(w)->main_lcd_tem;
        const QImage shown = lcd->grab().toImage();
        // The plain value 0 renders as " 0"; the controller must have put up both zeros.
        lcd->display(0);
        QVERIFY(lcd->grab().toImage() != shown);
        lcd->display(QStringLiteral("00"));
        QCOMPARE(lcd->grab().toImage(), shown);
    }

    void sweepFrameOnEveryFifthTick_data()
    {
        QTest::addColumn<int>("frame");
        for (int k = 0; k < kDbdArraySize; ++k) {
            QTest::addRow("frame %d", k) << k;
        }
    }

    void sweepFrameOnEveryFifthTick()
    {
        QFETCH(int, frame);
        MainWidget w;
        freeze(w);
        const int tick = 5 * (frame + 1);
        MainWidgetProbe::tick(w, tick - 1);
        const QString before = gauge(w);
        QVERIFY(before != QString::fromLatin1(dbdArray[frame]) ||
                (frame > 0 && dbdArray[frame - 1] == dbdArray[frame]));
        QCOMPARE(MainWidgetProbe::dbdMovieNumber(w), frame);
        MainWidgetProbe::tick(w);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[frame]));
        QCOMPARE(MainWidgetProbe::dbdMovieNumber(w), frame + 1);
    }

    void sweepEndsOnTick120()
    {
        MainWidget w;
        freeze(w);
        MainWidgetProbe::tick(w, 115);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[22]));
        QVERIFY(!MainWidgetProbe::isFinishInit(w));
        MainWidgetProbe::tick(w, 4);
        QVERIFY(!MainWidgetProbe::isFinishInit(w));
        MainWidgetProbe::tick(w);
        QVERIFY(MainWidgetProbe::isFinishInit(w));
        QCOMPARE(MainWidgetProbe::dbdMovieCount(w), 0);
        // Nothing moves on the gauge once the sweep is over.
        MainWidgetProbe::tick(w, 50);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[22]));
    }

    void sensorRequestEvery200Ticks()
    {
        MainWidget w;
        freeze(w);
        QSignalSpy requests(&w, &MainWidget::signal_hwGetData);
        MainWidgetProbe::tick(w, 199);
        QCOMPARE(requests.count(), 0);
        MainWidgetProbe::tick(w);
        QCOMPARE(requests.count(), 1);
        MainWidgetProbe::tick(w, 199);
        QCOMPARE(requests.count(), 1);
        MainWidgetProbe::tick(w);
        QCOMPARE(requests.count(), 2);
        MainWidgetProbe::tick(w, 600);
        QCOMPARE(requests.count(), 5);
    }

    void acceptRestartsSweep_data()
    {
        QTest::addColumn<int>("ticksBeforeAccept");
        QTest::newRow("during the sweep") << 42;
        QTest::newRow("after the sweep") << 300;
    }

    void acceptRestartsSweep()
    {
        QFETCH(int, ticksBeforeAccept);
        MainWidget w;
        freeze(w);
        w.show();
        MainWidgetProbe::tick(w, ticksBeforeAccept);
        const bool finishedBefore = MainWidgetProbe::isFinishInit(w);

        QTest::mouseClick(MainWidgetProbe::ui(w)->main_btn_accept, Qt::LeftButton);
        // Into the tray; a desktop without one (as here, offscreen) keeps the window minimised instead.
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            QVERIFY(!w.isVisible());
        } else {
            QVERIFY(w.isVisible() && w.isMinimized());
        }
        QCOMPARE(MainWidgetProbe::dbdMovieNumber(w), 0);
        QCOMPARE(MainWidgetProbe::dbdMovieCount(w), 5);
        // A second sweep does not hold back device traffic again.
        QCOMPARE(MainWidgetProbe::isFinishInit(w), finishedBefore);

        MainWidgetProbe::tick(w, 5);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[0]));
        MainWidgetProbe::tick(w, 115);
        QVERIFY(MainWidgetProbe::isFinishInit(w));
        // Hidden, not ended: the tick and the worker keep running.
        QVERIFY(MainWidgetProbe::hardWareInfoThread(w)->isRunning());
        QSignalSpy requests(&w, &MainWidget::signal_hwGetData);
        MainWidgetProbe::tick(w, 200);
        QCOMPARE(requests.count(), 1);
    }

    void scheduleHoldsWhileTheTickSleeps_data()
    {
        QTest::addColumn<int>("acceptAtMs");
        QTest::newRow("no accept") << -1;
        QTest::newRow("accept during the sweep") << 420;
        QTest::newRow("accept as the sweep ends") << 1200;
        QTest::newRow("accept after a reading") << 4000;
    }

    void scheduleHoldsWhileTheTickSleeps()
    {
        QFETCH(int, acceptAtMs);
        const int untilMs = 12000;
        MainWidget w;
        w.show();
        QTimer* timer = MainWidgetProbe::sysTimer(w);
        Played played;
        QList<int> frames;
        int clock = 0;
        if (acceptAtMs >= 0) {
            clock = play(w, 0, acceptAtMs, played);
            QCOMPARE(clock, acceptAtMs);
            for (int at : sweepFrom(0)) {
                if (at <= acceptAtMs) {
                    frames << at;
                }
            }
            QTest::mouseClick(MainWidgetProbe::ui(w)->main_btn_accept, Qt::LeftButton);
            // Back to the 10 ms tick for the new sweep.
            QVERIFY(timer->isActive());
            QCOMPARE(timer->interval(), 10);
            frames << sweepFrom(acceptAtMs);
        } else {
            frames << sweepFrom(0);
        }
        clock = play(w, clock, untilMs, played);

        QCOMPARE(clock, untilMs);
        QCOMPARE(played.requestsAt, (QList<int> {2000, 4000, 6000, 8000, 10000, 12000}));
        QCOMPARE(played.framesAt, frames);
        QCOMPARE(played.counterOff, QList<int>());
        QCOMPARE(played.idleWakeups, 0);
        // Asleep until the next reading, not ticking.
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 2000);
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    }

    void realTimerDrivesTheTick()
    {
        MainWidget w;
        QSignalSpy requests(&w, &MainWidget::signal_hwGetData);
        // 200 ticks of 10 ms; generous wait for a loaded machine.
        QVERIFY(requests.wait(10000));
        QVERIFY(MainWidgetProbe::isFinishInit(w));
    }

    void destructionStopsWorkerThread()
    {
        QPointer<QThread> thread;
        {
            MainWidget w;
            thread = MainWidgetProbe::hardWareInfoThread(w);
            QVERIFY(thread->isRunning());
        }
        QVERIFY(thread.isNull());
    }
};

QTEST_MAIN(TestMainWidget)
#include "test_mainwidget.moc"
