// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program on Wayland, natively (QT_QPA_PLATFORM=wayland, qtwayland5), under Weston's headless compositor:
// it starts, shows its window as a toplevel named after its launcher, feeds the simulated display and ends through
// SIGTERM. What is not tried here: the headless compositor has no pointer, so dragging the window (which asks the
// compositor through startSystemMove) cannot be, and there is no tray.
#include "devsimprocess.h"
#include "orvanerun.h"

#include <QRegularExpression>
#include <QtTest>

namespace {
const QString kSocket = QStringLiteral("wayland-orvane");
} // namespace

class TestWayland : public QObject
{
    Q_OBJECT

private slots:
    void startsShowsFeedsAndEnds()
    {
        OrvaneRun run;
        QVERIFY(run.prepare());
        QProcess weston;
        QProcessEnvironment westonEnv = QProcessEnvironment::systemEnvironment();
        westonEnv.insert(QStringLiteral("XDG_RUNTIME_DIR"), run.runtimeDir());
        weston.setProcessEnvironment(westonEnv);
        weston.setStandardOutputFile(run.root() + QStringLiteral("/weston.log"));
        weston.setStandardErrorFile(run.root() + QStringLiteral("/weston.log"), QIODevice::Append);
        weston.start(QStringLiteral("weston"),
                     {QStringLiteral("--backend=headless-backend.so"),
                      QStringLiteral("--socket=") + kSocket,
                      QStringLiteral("--idle-time=0"),
                      QStringLiteral("--no-config")});
        QVERIFY2(weston.waitForStarted(5000), "weston could not be started");
        const QString socket = run.runtimeDir() + QLatin1Char('/') + kSocket;
        QVERIFY(QTest::qWaitFor([&]() { return QFileInfo::exists(socket); }, 10000));

        run.setEnv(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        run.setEnv(QStringLiteral("WAYLAND_DISPLAY"), kSocket);
        // The client's half of the protocol on standard error: what the program asked of the compositor.
        run.setEnv(QStringLiteral("WAYLAND_DEBUG"), QStringLiteral("client"));
        DevsimProcess sim;
        QVERIFY(sim.start(run.devsimSocket(), {QStringLiteral("--json")}));
        QVERIFY(run.start());

        // The figures of the MSI fixture machine reach the display.
        QVERIFY(sim.waitForEvent([](const DevsimEvent& e) { return e.shows(48, 1020, 7); }, 20000) >= 0);
        QCOMPARE(run.serverPids().size(), 1);

        // A toplevel with the window's title and the launcher's name, configured by the compositor, and a picture
        // on its surface after that.
        const QString log = run.errorOutput();
        QVERIFY(log.contains(QStringLiteral(".set_title(\"Orvane v1.0.0.1\")")));
        QVERIFY(log.contains(QStringLiteral(".set_app_id(\"orvane\")")));
        const QRegularExpressionMatch toplevel =
            QRegularExpression(QStringLiteral("get_xdg_surface\\(new id xdg_surface@\\d+, (wl_surface@\\d+)\\)"))
                .match(log);
        QVERIFY(toplevel.hasMatch());
        const int configured = log.indexOf(QStringLiteral(".ack_configure("), toplevel.capturedEnd());
        QVERIFY(configured > 0);
        QVERIFY(log.indexOf(toplevel.captured(1) + QStringLiteral(".attach(wl_buffer@"), configured) > 0);

        // SIGTERM ends it with code 0, its server with it, the display closed.
        QVERIFY(run.terminate());
        QVERIFY(run.machineServerPids().isEmpty());
        QCOMPARE(sim.openHandles(), 0);
        weston.terminate();
        QVERIFY(weston.waitForFinished(10000));
    }
};

QTEST_GUILESS_MAIN(TestWayland)
#include "test_wayland.moc"
