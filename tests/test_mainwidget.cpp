// The controller's start-up and its 10 ms tick: sampling cadence, the gauge sweep, the accept button.
#include "dashboardstyles.h"
#include "mainwidgetinspector.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class TestMainWidget : public QObject
{
    Q_OBJECT

private:
    // A controller whose real timer is stopped, so that only the test's ticks count.
    static void freeze(MainWidget& w) { MainWidgetInspector::sysTimer(w)->stop(); }
    static QString gauge(MainWidget& w) { return MainWidgetInspector::ui(w)->main_dbd_bgi->styleSheet(); }

private slots:
    void constructionLeavesDefinedState()
    {
        MainWidget w;
        freeze(w);
        auto* ui = MainWidgetInspector::ui(w);
        QCOMPARE(ui->main_lcd_tem->intValue(), 0);
        QCOMPARE(ui->main_lcd_tem->digitCount(), 2);
        // "00" on a two-digit LCD: both positions lit with 0; the form's initial gauge is still up.
        QVERIFY(gauge(w).contains(QStringLiteral("bgi_dbd_16.png")));
        QCOMPARE(MainWidgetInspector::dbdMovieCount(w), 5);
        QCOMPARE(MainWidgetInspector::dbdMovieNumber(w), 0);
        QCOMPARE(MainWidgetInspector::devSampleTCount(w), 200);
        QVERIFY(!MainWidgetInspector::isFinishInit(w));
        QVERIFY(w.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(w.testAttribute(Qt::WA_TranslucentBackground));
        QCOMPARE(w.focusPolicy(), Qt::StrongFocus);
        QVERIFY(MainWidgetInspector::sysTimer(w)->interval() == 10);
        QVERIFY(MainWidgetInspector::hardWareInfoThread(w)->isRunning());
        QVERIFY(MainWidgetInspector::trayIcon(w)->isVisible());
        QCOMPARE(MainWidgetInspector::trayIcon(w)->toolTip(), QStringLiteral("Orvane"));
    }

    void temperatureReadoutShowsTwoZeros()
    {
        MainWidget w;
        freeze(w);
        auto* lcd = MainWidgetInspector::ui(w)->main_lcd_tem;
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
        MainWidgetInspector::tick(w, tick - 1);
        const QString before = gauge(w);
        QVERIFY(before != QString::fromLatin1(dbdArray[frame]) || (frame > 0 && dbdArray[frame - 1] == dbdArray[frame]));
        QCOMPARE(MainWidgetInspector::dbdMovieNumber(w), frame);
        MainWidgetInspector::tick(w);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[frame]));
        QCOMPARE(MainWidgetInspector::dbdMovieNumber(w), frame + 1);
    }

    void sweepEndsOnTick120()
    {
        MainWidget w;
        freeze(w);
        MainWidgetInspector::tick(w, 115);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[22]));
        QVERIFY(!MainWidgetInspector::isFinishInit(w));
        MainWidgetInspector::tick(w, 4);
        QVERIFY(!MainWidgetInspector::isFinishInit(w));
        MainWidgetInspector::tick(w);
        QVERIFY(MainWidgetInspector::isFinishInit(w));
        QCOMPARE(MainWidgetInspector::dbdMovieCount(w), 0);
        // Nothing moves on the gauge once the sweep is over.
        MainWidgetInspector::tick(w, 50);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[22]));
    }

    void sensorRequestEvery200Ticks()
    {
        MainWidget w;
        freeze(w);
        QSignalSpy requests(&w, &MainWidget::signal_hwGetData);
        MainWidgetInspector::tick(w, 199);
        QCOMPARE(requests.count(), 0);
        MainWidgetInspector::tick(w);
        QCOMPARE(requests.count(), 1);
        MainWidgetInspector::tick(w, 199);
        QCOMPARE(requests.count(), 1);
        MainWidgetInspector::tick(w);
        QCOMPARE(requests.count(), 2);
        MainWidgetInspector::tick(w, 600);
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
        MainWidgetInspector::tick(w, ticksBeforeAccept);
        const bool finishedBefore = MainWidgetInspector::isFinishInit(w);

        QTest::mouseClick(MainWidgetInspector::ui(w)->main_btn_accept, Qt::LeftButton);
        // Into the tray; a desktop without one (as here, offscreen) keeps the window minimised instead.
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            QVERIFY(!w.isVisible());
        } else {
            QVERIFY(w.isVisible() && w.isMinimized());
        }
        QCOMPARE(MainWidgetInspector::dbdMovieNumber(w), 0);
        QCOMPARE(MainWidgetInspector::dbdMovieCount(w), 5);
        // A second sweep does not hold back device traffic again.
        QCOMPARE(MainWidgetInspector::isFinishInit(w), finishedBefore);

        MainWidgetInspector::tick(w, 5);
        QCOMPARE(gauge(w), QString::fromLatin1(dbdArray[0]));
        MainWidgetInspector::tick(w, 115);
        QVERIFY(MainWidgetInspector::isFinishInit(w));
        // Hidden, not ended: the tick and the worker keep running.
        QVERIFY(MainWidgetInspector::hardWareInfoThread(w)->isRunning());
        QSignalSpy requests(&w, &MainWidget::signal_hwGetData);
        MainWidgetInspector::tick(w, 200);
        QCOMPARE(requests.count(), 1);
    }

    void realTimerDrivesTheTick()
    {
        MainWidget w;
        QSignalSpy requests(&w, &MainWidget::signal_hwGetData);
        // 200 ticks of 10 ms; generous wait for a loaded machine.
        QVERIFY(requests.wait(10000));
        QVERIFY(MainWidgetInspector::isFinishInit(w));
    }

    void destructionStopsWorkerThread()
    {
        QPointer<QThread> thread;
        {
            MainWidget w;
            thread = MainWidgetInspector::hardWareInfoThread(w);
            QVERIFY(thread->isRunning());
        }
        QVERIFY(thread.isNull());
    }
};

QTEST_MAIN(TestMainWidget)
#include "test_mainwidget.moc"
