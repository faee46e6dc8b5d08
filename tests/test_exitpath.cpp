// SPDX-License-Identifier: GPL-3.0-or-later
// The tray's "exit": the sensor server is asked to stop, the display is closed and the event loop ends, also while
// the window is hidden.
#include "devicemodel.h"
#include "hidapi_sim.h"
#include "mainwidgetprobe.h"
#include "sensorpeer.h"
#include "sensorprotocol.h"

#include <QAction>
#include <QMenu>
#include <QtTest>

class TestExitPath : public QObject
{
    Q_OBJECT

private slots:
    void exitWhileHidden()
    {
        devsim::DeviceModel model;
        devsim::installModel(&model);
        PeerServer server(Script {});
        {
            MainWidget w(MainWidgetProbe::feedByHand());
            MainWidgetProbe::tick(w, 120);
            QVERIFY(MainWidgetProbe::isUsbConnect(w));
            QCOMPARE(model.handleStats().live, 1);
            w.show();
            w.hide();

            QAction* exitAction = MainWidgetProbe::trayMenu(w)->actions().last();
            QCOMPARE(exitAction->text(), QStringLiteral("exit"));
            QTimer::singleShot(0, exitAction, &QAction::trigger);
            // Returns only because the exit ended the event loop.
            QCOMPARE(QApplication::exec(), 0);

            QCOMPARE(server.requests(), QList<QByteArray> {SensorProtocol::kStopRequest});
            QCOMPARE(model.handleStats().live, 0);
            QCOMPARE(devsim::simCalls().live, 0);
            QVERIFY(!w.isVisible());
        }
        devsim::installModel(nullptr);
    }
};

QTEST_MAIN(TestExitPath)
#include "test_exitpath.moc"
