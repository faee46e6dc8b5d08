// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program on Wayland, natively (QT_QPA_PLATFORM=wayland, qtwayland5), under Weston's headless compositor:
// it starts, shows its window as a toplevel named after its launcher, feeds the simulated display and ends through
// SIGTERM; and under sway's headless compositor, which tiles every toplevel that does not say it has a fixed size,
// natively and through XWayland: the window floats at its own size. What is not tried here: the headless
// compositors have no pointer, so dragging the window (which asks the compositor through startSystemMove) cannot
// be, and there is no tray.
#include "devsimprocess.h"
#include "orvanerun.h"
#include "throwawayuser.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kSocket = QStringLiteral("wayland-orvane");
const QString kX11Sockets = QStringLiteral("/tmp/.X11-unix");

// The node of sway's tree that holds Orvane's window, natively (app_id) or through XWayland (its class).
QJsonObject orvaneNode(const QJsonObject& node)
{
    if (node.value(QStringLiteral("app_id")).toString() == QLatin1String("orvane") ||
        node.value(QStringLiteral("window_properties")).toObject().value(QStringLiteral("class")).toString() ==
            QLatin1String("orvane")) {
        return node;
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue& child : node.value(QLatin1String(children)).toArray()) {
            const QJsonObject found = orvaneNode(child.toObject());
            if (!found.isEmpty()) {
                return found;
            }
        }
    }
    return QJsonObject();
}
} // namespace

class TestWayland : public QObject
{
    Q_OBJECT

private slots:
    void floatsAtItsSizeUnderSway_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::newRow("native Wayland") << QStringLiteral("wayland");
        QTest::newRow("X11 through XWayland") << QStringLiteral("xcb");
    }

    void floatsAtItsSizeUnderSway()
    {
        QFETCH(QString, platform);
        // sway refuses to run as root.
        if (::geteuid() != 0) {
            QSKIP("running sway as a user of its own needs root");
        }
        ThrowawayUser user;
        QVERIFY(user.make());
        OrvaneRun run;
        run.runAs(user.uid, user.gid);
        QVERIFY(run.prepare());
        // Where XWayland's sockets go, as on any X11 machine: everyone's, with the sticky bit.
        QVERIFY(QDir().mkpath(kX11Sockets));
        QCOMPARE(::chmod(QFile::encodeName(kX11Sockets).constData(), 01777), 0);
        const QStringList displaysBefore = QDir(kX11Sockets).entryList(QDir::System);
        QFile config(run.root() + QStringLiteral("/sway.config"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("output HEADLESS-1 resolution 1600x1000\nxwayland enable\n");
        config.close();

        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        env.insert(QStringLiteral("HOME"), run.root());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run.runtimeDir());
        env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        const QStringList asUser {QStringLiteral("--reuid=%1").arg(user.uid),
                                  QStringLiteral("--regid=%1").arg(user.gid),
                                  QStringLiteral("--clear-groups"),
                                  QStringLiteral("--")};
        QProcess sway;
        sway.setProcessEnvironment(env);
        sway.setProcessChannelMode(QProcess::MergedChannels);
        sway.setStandardOutputFile(run.root() + QStringLiteral("/sway.log"));
        sway.start(QStringLiteral("setpriv"),
                   asUser + QStringList {QStringLiteral("sway"), QStringLiteral("-c"), config.fileName()});
        QVERIFY2(sway.waitForStarted(5000), "sway could not be started");
        // Ended as it asks to be on any way out: killed, its XWayland would leave its lock and socket in /tmp behind.
        const auto stopSway = qScopeGuard([&sway]() {
            sway.terminate();
            sway.waitForFinished(10000);
        });
        QString ipc;
        QVERIFY(QTest::qWaitFor(
            [&]() {
                const QStringList found =
                    QDir(run.runtimeDir()).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
                ipc = found.isEmpty() ? QString() : run.runtimeDir() + QLatin1Char('/') + found.first();
                return !ipc.isEmpty() && QFileInfo::exists(run.runtimeDir() + QStringLiteral("/wayland-1"));
            },
            10000));

        run.setEnv(QStringLiteral("QT_QPA_PLATFORM"), platform);
        if (platform == QLatin1String("wayland")) {
            run.setEnv(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-1"));
        } else {
            // XWayland listens as soon as sway runs and starts with its first client.
            QString display;
            QVERIFY(QTest::qWaitFor(
                [&]() {
                    for (const QString& entry : QDir(kX11Sockets).entryList(QDir::System)) {
                        if (!displaysBefore.contains(entry) && entry.startsWith(QLatin1Char('X'))) {
                            display = QLatin1Char(':') + entry.mid(1);
                        }
                    }
                    return !display.isEmpty();
                },
                10000));
            run.setEnv(QStringLiteral("DISPLAY"), display);
        }
        QVERIFY(run.start());

        // The compositor's own account of the window: floating, at the window's size.
        QJsonObject node;
        QTest::qWaitFor(
            [&]() {
                QProcess query;
                query.setProcessEnvironment(env);
                query.start(QStringLiteral("setpriv"),
                            asUser + QStringList {QStringLiteral("swaymsg"),
                                                  QStringLiteral("-s"),
                                                  ipc,
                                                  QStringLiteral("-r"),
                                                  QStringLiteral("-t"),
                                                  QStringLiteral("get_tree")});
                query.waitForFinished(5000);
                node = orvaneNode(QJsonDocument::fromJson(query.readAllStandardOutput()).object());
                return !node.isEmpty();
            },
            15000);
        QVERIFY2(!node.isEmpty(), qPrintable(run.errorOutput()));
        const QJsonObject rect = node.value(QStringLiteral("rect")).toObject();
        qInfo("%s: %s at %d x %d",
              qPrintable(platform),
              qPrintable(node.value(QStringLiteral("type")).toString()),
              rect.value(QStringLiteral("width")).toInt(),
              rect.value(QStringLiteral("height")).toInt());
        QCOMPARE(node.value(QStringLiteral("type")).toString(), QStringLiteral("floating_con"));
        QCOMPARE(rect.value(QStringLiteral("width")).toInt(), 860);
        QCOMPARE(rect.value(QStringLiteral("height")).toInt(), 525);

        QVERIFY(run.terminate());
    }

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
