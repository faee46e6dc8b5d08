// The whole program on a desktop with a system tray (Xvfb and trayer): started hidden at log-on, refusing a second
// start, and ended through its tray menu with a real click, leaving nothing behind.
#include "devsimprocess.h"
#include "orvanerun.h"
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
        const QPoint selector(680, 305);
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
};

QTEST_GUILESS_MAIN(TestE2eDesktop)
#include "test_e2e_desktop.moc"
