// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's start-up, its 10 ms tick of the gauge sweep, the accept button and the feed's readings.
#include "dashboardstyles.h"
#include "mainwidgetprobe.h"
#include "sensorpeer.h"
#include "testsupport.h"

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
        MainWidget w(MainWidgetProbe::feedByHand());
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
        MainWidget w(MainWidgetProbe::feedByHand());
        MainWidgetProbe::tick(w, 115);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[22]));
        QVERIFY(!MainWidgetProbe::isFinishInit(w));
        MainWidgetProbe::tick(w, 4);
        QVERIFY(!MainWidgetProbe::isFinishInit(w));
        MainWidgetProbe::tick(w);
        QVERIFY(MainWidgetProbe::isFinishInit(w));
        QCOMPARE(MainWidgetProbe::dbdMovieCount(w), 0);
        // Nothing moves on the gauge once the sweep is over, and the tick sleeps.
        QVERIFY(!MainWidgetProbe::sysTimer(w)->isActive());
        MainWidgetProbe::tick(w, 50);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[22]));
    }

    // The feed paces the window's readings, whatever the tick does: none at once, the first 2 s after the start (the
    // 2 s from one reading to the next are the end-to-end tests').
    void firstReadingComesFromTheFeedAfterTwoSeconds()
    {
        QFile document(TestSupport::fixturesDir() + QStringLiteral("/documents/windows-amd-asus.xml"));
        QVERIFY(document.open(QIODevice::ReadOnly));
        Script script;
        script.documents = {document.readAll()};
        PeerServer peer(script);
        MainWidget w;
        freeze(w);
        QTest::qWait(1000);
        QVERIFY(peer.requests().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!peer.requests().isEmpty(), 10000);
        QCOMPARE(MainWidgetProbe::ui(w)->main_cbx_cpuitem->count() > 1, true);
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
        MainWidget w(MainWidgetProbe::feedByHand());
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
        QVERIFY(MainWidgetProbe::sysTimer(w)->isActive());
        freeze(w);

        MainWidgetProbe::tick(w, 5);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[0]));
        MainWidgetProbe::tick(w, 115);
        QVERIFY(MainWidgetProbe::isFinishInit(w));
        // Hidden, not ended: the worker keeps running.
        QVERIFY(MainWidgetProbe::hardWareInfoThread(w)->isRunning());
    }

    void realTimerDrivesTheSweep()
    {
        MainWidget w(MainWidgetProbe::feedByHand());
        // 120 ticks of 10 ms; generous wait for a loaded machine.
        QTRY_VERIFY_WITH_TIMEOUT(MainWidgetProbe::isFinishInit(w), 10000);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[22]));
        QVERIFY(!MainWidgetProbe::sysTimer(w)->isActive());
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
