// SPDX-License-Identifier: GPL-3.0-or-later
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

    // Plays the tick's timer on the test's own clock up to `untilMs`, each firing moving it on by the armed interval.
    // Notes what each firing brought: a request, a sweep frame, nothing at all outside the sweep ("idle"), a reading
    // counter other than 10 ms ticks since the start give ("off").
    static int play(MainWidget& w, int clock, int untilMs, QStringList& seen)
    {
        QSignalSpy requests(&w, &MainWidget::signal_hwGetData);
        QTimer* timer = MainWidgetProbe::sysTimer(w);
        while (timer->isActive() && timer->timerType() == Qt::PreciseTimer && clock + timer->interval() <= untilMs) {
            clock += timer->interval();
            const bool sweeping = MainWidgetProbe::dbdMovieCount(w) > 0;
            const int frame = MainWidgetProbe::dbdMovieNumber(w);
            MainWidgetProbe::fireSysTimer(w);
            if (!requests.isEmpty()) {
                seen << event(clock, "request");
            }
            if (MainWidgetProbe::dbdMovieNumber(w) != frame) {
                seen << event(clock, "frame");
            } else if (!sweeping && requests.isEmpty()) {
                seen << event(clock, "idle");
            }
            if (MainWidgetProbe::devSampleTCount(w) != 200 - clock / 10 % 200) {
                seen << event(clock, "off");
            }
            requests.clear();
        }
        return clock;
    }
    static QString event(int atMs, const char* what)
    {
        return QStringLiteral("%1 %2").arg(atMs, 5, 10, QLatin1Char('0')).arg(QLatin1String(what));
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
        MainWidget w;
        w.show();
        QStringList expected;
        for (int at = 2000; at <= 12000; at += 2000) {
            expected << event(at, "request");
        }
        for (int k = 1; k <= kDbdArraySize; ++k) {
            if (acceptAtMs < 0 || 50 * k <= acceptAtMs) {
                expected << event(50 * k, "frame");
            }
            if (acceptAtMs >= 0) {
                expected << event(acceptAtMs + 50 * k, "frame");
            }
        }
        QStringList seen;
        int clock = 0;
        if (acceptAtMs >= 0) {
            clock = play(w, 0, acceptAtMs, seen);
            QTest::mouseClick(MainWidgetProbe::ui(w)->main_btn_accept, Qt::LeftButton);
            // Back to the 10 ms tick for the new sweep.
            QCOMPARE(MainWidgetProbe::sysTimer(w)->interval(), 10);
        }
        QCOMPARE(play(w, clock, 12000, seen), 12000);
        seen.sort();
        expected.sort();
        QCOMPARE(seen, expected);
        // Asleep until the next reading, not ticking.
        QCOMPARE(MainWidgetProbe::sysTimer(w)->interval(), 2000);
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
