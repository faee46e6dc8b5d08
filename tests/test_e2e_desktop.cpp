// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program on a desktop with a system tray (Xvfb and trayer): started hidden at log-on, refusing a second
// start, and ended through its tray menu with a real click, leaving nothing behind. Then the trays of today's
// desktops, each case on an X display of its own: a StatusNotifierItem tray (KDE Plasma, GNOME with the
// AppIndicator extension, Xfce, LXQt, Cinnamon, Budgie) as a private session bus with a watcher and host stand-in,
// since offscreen Qt never uses it; a tray that comes up after the program, as panels race autostart programs at
// log-on; and a tray that goes away while the window is hidden in it.
#include "devsimprocess.h"
#include "orvanerun.h"
#include "statusnotifierstandin.h"
#include "xserver.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <QtTest>
#include <csignal>

namespace {
const QString kMainTitle = QStringLiteral("^Orvane v1\\.0\\.0\\.1$");
const QString kNoticeTitle = QStringLiteral("^Notice$");
const QString kWindowClass = QStringLiteral("orvane");
constexpr int kWindowWaitMs = 20000;
// The title bar's close button, in window coordinates.
const QPoint kCloseButton(834, 24);
// What the MSI fixture machine shows.
constexpr int kTemp = 48;
constexpr int kFan = 1020;
constexpr int kLoad = 7;

// Whether SIGTERM is among the signals `pid` blocks.
bool blocksTerminate(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigBlk:")) {
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
        }
    }
    return false;
}

bool processGone(qint64 pid)
{
    return !QFileInfo::exists(QStringLiteral("/proc/%1/exe").arg(pid)) ||
           QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() !=
               QFileInfo(OrvaneRun::serverProgram()).canonicalFilePath();
}
} // namespace

class TestE2eDesktop : public QObject
{
    Q_OBJECT

    XServer mX;

    void onDesktop(OrvaneRun& run)
    {
        run.setEnv(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        run.setEnv(QStringLiteral("DISPLAY"), mX.display());
    }

    // The program is at work: a value frame with the machine's figures reaches the device.
    static bool showsFigures(DevsimProcess& sim)
    {
        return sim.waitForEvent([](const DevsimEvent& e) { return e.shows(kTemp, kFan, kLoad); }, 10000) >= 0;
    }

    // The trays' cases: a desktop of their own, with no tray unless the case starts one.
    std::unique_ptr<XServer> mBare;
    std::unique_ptr<StatusNotifierStandIn> mSni;
    std::unique_ptr<OrvaneRun> mRun;
    std::unique_ptr<DevsimProcess> mSim;

    // The program hidden at log-on on a display without a tray, with `waitSeconds` to wait for one, against the
    // simulated display.
    bool startBoot(int waitSeconds)
    {
        mBare = std::make_unique<XServer>();
        mRun = std::make_unique<OrvaneRun>();
        mSim = std::make_unique<DevsimProcess>();
        if (!mBare->start() || !mRun->prepare() || !mSim->start(mRun->devsimSocket(), {QStringLiteral("--json")})) {
            return false;
        }
        mRun->setEnv(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        mRun->setEnv(QStringLiteral("DISPLAY"), mBare->display());
        mRun->setEnv(QStringLiteral("ORVANE_TRAY_WAIT_SECONDS"), QString::number(waitSeconds));
        if (mSni) {
            mRun->setEnv(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), mSni->address());
        }
        return mRun->start({QStringLiteral("--bootstart")});
    }

    QString window() const
    {
        const QStringList windows = mBare->findWindows(kMainTitle, false, kWindowWaitMs);
        return windows.size() == 1 ? windows.first() : QString();
    }
    bool shown() const { return !mBare->findWindows(kMainTitle, true, 0).isEmpty(); }
    bool waitShown(bool wanted) const
    {
        return QTest::qWaitFor([&]() { return shown() == wanted; }, kWindowWaitMs);
    }
    bool waitMinimised() const
    {
        return QTest::qWaitFor([&]() { return mBare->isMinimised(window()); }, kWindowWaitMs);
    }
    // Still hidden a second later: nothing brings the window up by itself.
    bool staysHidden() const
    {
        QTest::qWait(1000);
        return !shown();
    }
    bool said(const QString& text) const { return mRun->waitForErrorOutput(text, kWindowWaitMs); }

    // Ended with code 0, its sensor server stopped and the display closed.
    bool endedCleanly()
    {
        QProcess& process = mRun->process();
        const bool ended = (process.state() == QProcess::NotRunning || process.waitForFinished(kWindowWaitMs)) &&
                           process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        return ended && mRun->machineServerPids().isEmpty() && mSim->openHandles() == 0;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(mX.start(), "Xvfb could not be started");
        QVERIFY2(mX.startTray(), "trayer could not be started");
    }

    void bootStartHiddenAndSecondStartRefused()
    {
        OrvaneRun run;
        QVERIFY(run.prepare());
        onDesktop(run);
        DevsimProcess sim;
        QVERIFY(sim.start(run.devsimSocket(), {QStringLiteral("--json")}));
        QVERIFY(run.start({QStringLiteral("--bootstart")}));

        // Docked in the tray, no window on the screen, and at work all the same.
        QVERIFY(QTest::qWaitFor([&]() { return mX.trayHasIcon(kWindowClass); }, kWindowWaitMs));
        QVERIFY(showsFigures(sim));
        QCOMPARE(mX.findWindows(kMainTitle, true, 0).size(), 0);
        QCOMPARE(mX.findWindows(kMainTitle, false, 0).size(), 1);

        // A second start says so and gives way with exit code 0; the first goes on with its one server.
        QProcess* second = run.launchAnother({QStringLiteral("--bootstart")});
        const QStringList notices = mX.findWindows(kNoticeTitle, true, kWindowWaitMs);
        QCOMPARE(notices.size(), 1);
        QVERIFY(mX.pressKey(notices.first(), QStringLiteral("Escape")));
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(run.process().state(), QProcess::Running);
        QVERIFY(showsFigures(sim));
        QCOMPARE(run.serverStarts().size(), 1);
        QCOMPARE(run.serverPids(), run.serverStarts());
        QCOMPARE(mX.findWindows(kMainTitle, true, 0).size(), 0);
    }

    void exitThroughTrayMenu()
    {
        OrvaneRun run;
        // The server ignores SIGTERM here: it can only end quickly by being asked over its socket.
        QVERIFY(run.prepare(true));
        onDesktop(run);
        DevsimProcess sim;
        QVERIFY(sim.start(run.devsimSocket(), {QStringLiteral("--json")}));
        QVERIFY(run.start({QStringLiteral("--bootstart")}));
        QVERIFY(QTest::qWaitFor([&]() { return !mX.trayIconWindow(kWindowClass).isEmpty(); }, kWindowWaitMs));
        QVERIFY(showsFigures(sim));
        QCOMPARE(run.serverPids().size(), 1);
        const qint64 server = run.serverPids().first();
        QVERIFY(blocksTerminate(server));
        QVERIFY(QFileInfo::exists(run.serverSocket()));
        QCOMPARE(sim.openHandles(), 1);

        // Right click on the icon opens the tray menu; its last entry is "exit".
        const QString icon = mX.trayIconWindow(kWindowClass);
        const QRect iconArea = mX.windowGeometry(icon);
        QVERIFY(iconArea.isValid());
        QVERIFY(mX.click(icon, iconArea.width() / 2, iconArea.height() / 2, 3));
        QString menu;
        QVERIFY(QTest::qWaitFor(
            [&]() {
                for (const QString& window : mX.visibleWindowsOfClass(kWindowClass)) {
                    if (mX.windowGeometry(window).height() > iconArea.height() * 2) {
                        menu = window;
                    }
                }
                return !menu.isEmpty();
            },
            kWindowWaitMs));
        const QRect menuArea = mX.windowGeometry(menu);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(mX.click(menu, menuArea.width() / 2, menuArea.height() - 12, 1));

        // The program ends with code 0, well before the 30 s after which it would have killed the server.
        QVERIFY(run.process().waitForFinished(20000));
        QCOMPARE(run.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.process().exitCode(), 0);
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));

        // The server was asked to stop and did, the clean way: its socket is gone with it.
        QVERIFY(processGone(server));
        QVERIFY(!QFileInfo::exists(run.serverSocket()));
        // The device was closed.
        QCOMPARE(sim.openHandles(), 0);
        // Nothing the program started is left.
        for (qint64 pid : run.serverStarts()) {
            QVERIFY(processGone(pid));
        }
        QVERIFY(run.machineServerPids().isEmpty());
    }

    // A sensor picked with the mouse drives the next value frame, and the pick is in the settings file at once.
    void pickSensorByHand()
    {
        OrvaneRun run(QStringLiteral("amd-x570-k10temp"));
        QVERIFY(run.prepare());
        onDesktop(run);
        DevsimProcess sim;
        QVERIFY(sim.start(run.devsimSocket(), {QStringLiteral("--json")}));
        QVERIFY(run.start());
        const QStringList windows = mX.findWindows(kMainTitle, true, kWindowWaitMs);
        QCOMPARE(windows.size(), 1);
        // The rules' figures first: the CPU's Tctl and the board's CPU fan header.
        QVERIFY(sim.waitForEvent([](const DevsimEvent& e) { return e.shows(62, 1430, 6); }, 10000) >= 0);

        // The temperature selector opens below itself; "amdgpu / junction" is its sixth entry.
        const QPoint selector(680, 289);
        constexpr int kEntryHeight = 25;
        QVERIFY(mX.click(windows.first(), selector.x(), selector.y(), 1));
        QTest::qWait(500);
        QVERIFY(mX.click(windows.first(), selector.x(), selector.y() + 5 * kEntryHeight, 1));

        const QString settings = run.root() + QStringLiteral("/config/orvane/sysconf.ini");
        QVERIFY(QTest::qWaitFor([&]() { return QFile::exists(settings); }, 5000));
        QCOMPARE(QSettings(settings, QSettings::IniFormat).value(QStringLiteral("DevInfo/tem")).toString(),
                 QStringLiteral("amdgpu / junction"));
        const int from = sim.events().size();
        QVERIFY(sim.waitForEvent([](const DevsimEvent& e) { return e.shows(48, 1430, 6); }, 5000, from) >= 0);
        QVERIFY(run.terminate());
    }

    void cleanup()
    {
        mRun.reset();
        mSim.reset();
        mSni.reset();
        mBare.reset();
    }

    void statusNotifierItemActivateShowsHiddenWindow()
    {
        mSni = std::make_unique<StatusNotifierStandIn>();
        QVERIFY2(mSni->startBus(), "dbus-daemon could not be started");
        QVERIFY(mSni->startWatcher());
        QVERIFY(startBoot(60));

        // The item registers and the window stays hidden in it.
        const QStringList items = mSni->waitForItems(kWindowWaitMs);
        QCOMPARE(items.size(), 1);
        const QString item = items.first();
        QVERIFY(!window().isEmpty());
        QVERIFY(showsFigures(*mSim));
        QVERIFY(!shown());

        // The host's Activate (a click, the only activation it sends) brings the window back.
        QVERIFY(mSni->activate(item));
        QVERIFY(waitShown(true));

        // The title bar's close button hides it again; a middle click leaves it there; Activate brings it back.
        QVERIFY(mBare->click(window(), kCloseButton.x(), kCloseButton.y(), 1));
        QVERIFY(waitShown(false));
        QVERIFY(mSni->secondaryActivate(item));
        QVERIFY(staysHidden());
        QVERIFY(mSni->activate(item));
        QVERIFY(waitShown(true));

        // "exit" from the item's menu, as the host sends it, ends the program the clean way.
        QVERIFY(mSni->clickMenuEntry(item, QStringLiteral("exit")));
        QVERIFY(endedCleanly());
    }

    void lateStatusNotifierTrayAndHostRestart()
    {
        mSni = std::make_unique<StatusNotifierStandIn>();
        QVERIFY2(mSni->startBus(), "dbus-daemon could not be started");
        QVERIFY(startBoot(60));
        QVERIFY(said(QStringLiteral("waiting up to 60 s for a system tray")));
        QVERIFY(staysHidden());

        // The panel comes up: the icon goes into it and the window stays hidden.
        QVERIFY(mSni->startWatcher());
        const QStringList items = mSni->waitForItems(kWindowWaitMs);
        QCOMPARE(items.size(), 1);
        QVERIFY(said(QStringLiteral("a system tray came (StatusNotifierItem)")));
        QVERIFY(staysHidden());

        // The panel crashes: the watcher stays, its host goes. The window shows minimised, then hides again.
        QVERIFY(mSni->setHost(false));
        QVERIFY(waitMinimised());
        QVERIFY(said(QStringLiteral("the system tray went away")));
        QVERIFY(mSni->setHost(true));
        QVERIFY(waitShown(false));
        QVERIFY(said(QStringLiteral("the system tray is back")));
        QVERIFY(showsFigures(*mSim));

        // The icon made late is a StatusNotifierItem: the host's Activate shows the window.
        QVERIFY(mSni->activate(items.first()));
        QVERIFY(waitShown(true));
        QVERIFY(mRun->terminate());
        QVERIFY(endedCleanly());
    }

    void lateXEmbedTrayAndTrayCrash()
    {
        QVERIFY(startBoot(60));
        QVERIFY(said(QStringLiteral("waiting up to 60 s for a system tray")));
        QVERIFY(staysHidden());

        QVERIFY2(mBare->startTray(), "trayer could not be started");
        QVERIFY(QTest::qWaitFor([&]() { return mBare->trayHasIcon(kWindowClass); }, kWindowWaitMs));
        QVERIFY(said(QStringLiteral("a system tray came (XEmbed)")));
        QVERIFY(showsFigures(*mSim));
        QVERIFY(!shown());

        QVERIFY(mBare->stopTray());
        QVERIFY(waitMinimised());
        QVERIFY2(mBare->startTray(), "trayer could not be started again");
        QVERIFY(waitShown(false));
        QVERIFY(QTest::qWaitFor([&]() { return mBare->trayHasIcon(kWindowClass); }, kWindowWaitMs));
        QVERIFY(mRun->terminate());
        QVERIFY(endedCleanly());
    }
};

QTEST_GUILESS_MAIN(TestE2eDesktop)
#include "test_e2e_desktop.moc"
