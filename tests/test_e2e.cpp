// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program as a user runs it: the real orvane, its real sensor server on a fixture machine and the device
// simulator reached through hidapi_sim, all as processes. What the simulator decodes is what the display would show.
#include "devsimprocess.h"
#include "logindstandin.h"
#include "orvanerun.h"
#include "testsupport.h"
#include "throwawayuser.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>
#include <csignal>
#include <functional>

namespace {
constexpr int kReadingMs = 2000;
// Timers, scheduling and a busy machine: what a reading may come late by.
constexpr int kSlackMs = 1500;
// A device that does not answer holds the program for the transport's read time-out.
constexpr int kReadTimeoutMs = 2000;

struct Figures
{
    int temp;
    int fan;
    int load;
};

// What the fixture machines say (see test_sensorserver): package temperature, the fan the rules pick, and the load
// since boot that a /proc/stat that never changes gives.
const Figures kMsi {48, 1020, 7};
// The AMD machine with its GPU's junction and fan chosen in the settings file.
const Figures kAmdGpu {48, 1850, 6};
const QByteArray kAmdGpuChoice("[DevInfo]\ntem=amdgpu / junction\nfan=amdgpu / GPU Fan\n");
// An NVIDIA card served by the stand-in NVML, and a user's choice of all three of its figures.
const QByteArray kNvidiaCard("gpu 0000:01:00.0 54 37 1450 NVIDIA GeForce RTX 4080\n");
const QByteArray kNvidiaChoice("[DevInfo]\ntem=NVIDIA GeForce RTX 4080 / GPU Core\nfan=NVIDIA GeForce RTX 4080 / GPU "
                               "Fan\nload=NVIDIA GeForce RTX 4080 / GPU Core\n");
constexpr char kHeldElsewhere[] = "display held by another Orvane";

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

Q_DECLARE_METATYPE(Figures)

class TestE2e : public QObject
{
    Q_OBJECT

    // The most sensor servers that ran at once under the program, over a whole case.
    int mMostServers = 0;
    // Looking through /proc takes a while: a few looks a second are plenty.
    QElapsedTimer mSinceServerCount;

    // Starts the simulator and then the program on `run`.
    bool startSession(OrvaneRun& run, DevsimProcess& sim)
    {
        mMostServers = 0;
        return sim.start(run.devsimSocket(), {QStringLiteral("--json")}) && run.start();
    }

    // Follows the run until an event from position `from` on matches; counts the servers all along. The event's
    // position, or -1.
    int follow(OrvaneRun& run,
               DevsimProcess& sim,
               const std::function<bool(const DevsimEvent&)>& match,
               int timeoutMs,
               int from)
    {
        QElapsedTimer clock;
        clock.start();
        int next = from;
        for (;;) {
            if (!mSinceServerCount.isValid() || mSinceServerCount.elapsed() >= 200) {
                mMostServers = qMax(mMostServers, int(run.serverPids().size()));
                mSinceServerCount.start();
            }
            for (; next < sim.events().size(); ++next) {
                if (match(sim.events().at(next))) {
                    return next;
                }
            }
            if (clock.elapsed() > timeoutMs || run.process().state() != QProcess::Running) {
                return -1;
            }
            sim.pump(50);
        }
    }

    int nextValue(OrvaneRun& run, DevsimProcess& sim, int timeoutMs, int from)
    {
        return follow(
            run, sim, [](const DevsimEvent& e) { return e.isValue(); }, timeoutMs, from);
    }

    int nextSeed(OrvaneRun& run, DevsimProcess& sim, int timeoutMs, int from)
    {
        return follow(
            run, sim, [](const DevsimEvent& e) { return e.isSeed(); }, timeoutMs, from);
    }

    // Position of the last value frame before `end`, or -1.
    static int lastValueBefore(const DevsimProcess& sim, int end)
    {
        for (int i = end - 1; i >= 0; --i) {
            if (sim.events().at(i).isValue()) {
                return i;
            }
        }
        return -1;
    }

    // Watches the run for `ms` without waiting for anything in particular.
    void idle(OrvaneRun& run, DevsimProcess& sim, int ms)
    {
        follow(
            run, sim, [](const DevsimEvent&) { return false; }, ms, sim.events().size());
    }

    static double monotonicMs()
    {
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
    }

    static QString describe(const DevsimEvent& e)
    {
        return QStringLiteral("%1 #%2 %3/%4/%5 at %6")
            .arg(e.kind)
            .arg(e.index)
            .arg(e.temp)
            .arg(e.fan)
            .arg(e.load)
            .arg(e.t, 0, 'f', 0);
    }

    // After a fault has ended at `endedAt`: a value frame with the machine's figures comes by itself within
    // `withinMs`, and the one after it a reading later. Returns the position of the first, or -1.
    int recovered(OrvaneRun& run, DevsimProcess& sim, const Figures& f, double endedAt, int withinMs)
    {
        const int first = follow(
            run,
            sim,
            [&](const DevsimEvent& e) { return e.t > endedAt && e.shows(f.temp, f.fan, f.load); },
            withinMs,
            0);
        if (first < 0) {
            return -1;
        }
        const int second = nextValue(run, sim, kReadingMs + kSlackMs, first + 1);
        if (second < 0 || !sim.events().at(second).shows(f.temp, f.fan, f.load) ||
            sim.events().at(second).index != (sim.events().at(first).index + 1) % 256) {
            return -1;
        }
        return first;
    }

private slots:
    void valuesFromFixture_data();
    void valuesFromFixture();
    void sensorServerKilled();
    void deviceFaults();
    void sleepAndWake();
    void exitWithStuckServer_data();
    void exitWithStuckServer();
    void noRuntimeFolder();
    void chosenInSettingsFile_data();
    void chosenInSettingsFile();
    void headlessWithoutDesktop();
    void oneHolderAtATime_data();
    void oneHolderAtATime();
    void userWithoutAccessBlocksNobody();
};

void TestE2e::valuesFromFixture_data()
{
    QTest::addColumn<QString>("machine");
    QTest::addColumn<Figures>("figures");
    QTest::addColumn<int>("changedLoad");

    QTest::newRow("MSI B550, nct6687 labels the CPU fan") << "msi-b550-nct6687" << kMsi << 73;
    QTest::newRow("AMD X570, k10temp Tctl") << "amd-x570-k10temp" << Figures {62, 1430, 6} << -1;
    QTest::newRow("Intel Z390, coretemp package, unnamed fans") << "intel-z390-nct6798" << Figures {46, 612, 13} << -1;
}

void TestE2e::valuesFromFixture()
{
    QFETCH(QString, machine);
    QFETCH(Figures, figures);
    QFETCH(int, changedLoad);

    OrvaneRun run(machine);
    QVERIFY(run.prepare());
    DevsimProcess sim;
    QVERIFY(startSession(run, sim));
    const double startedAt = monotonicMs();

    // The handshake runs while the program sets itself up.
    const int seed = nextSeed(run, sim, 5000, 0);
    QVERIFY2(seed == 0, "the first frame at the device is a seed request");
    QVERIFY(sim.events().at(seed).t - startedAt < 5000);

    // Then a value frame every reading, as the device decodes it with that seed.
    int previous = -1;
    for (int n = 0; n < 3; ++n) {
        const int at = nextValue(run, sim, n == 0 ? 2 * kReadingMs + kSlackMs : kReadingMs + kSlackMs, previous + 1);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("value frame %1 did not come").arg(n)));
        const DevsimEvent& e = sim.events().at(at);
        QVERIFY2(e.shows(figures.temp, figures.fan, figures.load), qPrintable(describe(e)));
        QCOMPARE(e.index, n);
        QCOMPARE(e.expected, -1);
        if (previous >= 0) {
            const double gap = e.t - sim.events().at(previous).t;
            QVERIFY2(gap > kReadingMs - 500 && gap < kReadingMs + kSlackMs, qPrintable(QString::number(gap)));
        }
        previous = at;
    }
    QCOMPARE(sim.events().size(), previous + 1);

    if (changedLoad >= 0) {
        // The machine gets busy: the next reading shows it, and the ones after it too.
        QVERIFY(run.setCpuLoad(changedLoad));
        const double changedAt = monotonicMs();
        const int busy = follow(
            run,
            sim,
            [&](const DevsimEvent& e) { return e.t > changedAt && e.isValue() && e.load != figures.load; },
            2 * kReadingMs + kSlackMs,
            previous + 1);
        QVERIFY(busy >= 0);
        QVERIFY2(sim.events().at(busy).shows(figures.temp, figures.fan, changedLoad),
                 qPrintable(describe(sim.events().at(busy))));
        const int after = nextValue(run, sim, kReadingMs + kSlackMs, busy + 1);
        QVERIFY(after >= 0);
        QVERIFY(sim.events().at(after).shows(figures.temp, figures.fan, changedLoad));
        previous = after;
    }

    // One session all along, one server, and the frame index never skipped.
    for (int i = 1; i <= previous; ++i) {
        QVERIFY(sim.events().at(i).isValue());
        QCOMPARE(sim.events().at(i).index, i - 1);
    }
    QCOMPARE(mMostServers, 1);
    QCOMPARE(run.serverStarts().size(), 1);
    QVERIFY(sim.malformedLines().isEmpty());
}

void TestE2e::sensorServerKilled()
{
    OrvaneRun run;
    QVERIFY(run.prepare());
    DevsimProcess sim;
    QVERIFY(startSession(run, sim));
    const int first = follow(
        run, sim, [](const DevsimEvent& e) { return e.shows(kMsi.temp, kMsi.fan, kMsi.load); }, 10000, 0);
    QVERIFY(first >= 0);
    QTRY_COMPARE(run.serverPids().size(), 1);
    const qint64 killed = run.serverPids().first();
    QCOMPARE(run.serverStarts(), QList<qint64> {killed});

    for (int round = 0; round < 2; ++round) {
        const qint64 victim = run.serverPids().value(0);
        QVERIFY(victim > 0);
        QCOMPARE(::kill(pid_t(victim), SIGKILL), 0);
        const double killedAt = monotonicMs();

        // The next readings find no server, start a new one and the figures come back.
        const int back = recovered(run, sim, kMsi, killedAt, 2 * kReadingMs + kSlackMs);
        QVERIFY2(back >= 0, qPrintable(describe(sim.events().last())));
        QCOMPARE(run.serverPids().size(), 1);
        QVERIFY(run.serverPids().first() != victim);
        QCOMPARE(run.serverStarts().size(), round + 2);
        QCOMPARE(run.serverStarts().last(), run.serverPids().first());
    }

    // The device session did not notice: no new handshake, no frame lost.
    const QList<DevsimEvent>& events = sim.events();
    QCOMPARE(std::count_if(events.begin(), events.end(), [](const DevsimEvent& e) { return e.isSeed(); }), 1);
    for (int i = 1; i < events.size(); ++i) {
        QCOMPARE(events.at(i).index, i - 1);
    }
    QCOMPARE(mMostServers, 1);
}

void TestE2e::deviceFaults()
{
    OrvaneRun run;
    QVERIFY(run.prepare());
    DevsimProcess sim;
    QVERIFY(startSession(run, sim));
    QVERIFY(nextValue(run, sim, 10000, 0) >= 0);

    // Pulled out: nothing reaches the device; plugged back: the next reading runs the handshake and the one after it
    // sends values again. The frame that met the pulled device was built, so it used up its index.
    {
        QVERIFY(sim.command(QStringLiteral("unplug"), QStringLiteral("device unplugged")));
        const double unpluggedAt = monotonicMs();
        const int before = lastValueBefore(sim, sim.events().size());
        idle(run, sim, kReadingMs + kSlackMs);
        for (int i = before + 1; i < sim.events().size(); ++i) {
            QVERIFY2(sim.events().at(i).t < unpluggedAt, qPrintable(describe(sim.events().at(i))));
        }
        QVERIFY(sim.command(QStringLiteral("plug"), QStringLiteral("device plugged in")));
        const double pluggedAt = monotonicMs();
        const int seed = follow(
            run, sim, [&](const DevsimEvent& e) { return e.isSeed() && e.t > pluggedAt; }, kReadingMs + kSlackMs, 0);
        QVERIFY2(seed >= 0, "no handshake at the next reading after the device came back");
        const int back = recovered(run, sim, kMsi, pluggedAt, 2 * kReadingMs + kSlackMs);
        QVERIFY(back > seed);
        // Unless the pull came in the middle of an exchange, whose frame had arrived.
        const int step = (sim.events().at(back).index - sim.events().at(before).index + 256) % 256;
        QVERIFY2(step == 2 || step == 1, qPrintable(QString::number(step)));
    }

    // Silent, then late beyond the read time-out: the device still receives every frame, and decodes it, but the
    // program gives the session up. Once the device answers in time again, the session comes back by itself.
    const struct
    {
        const char* fault;
        const char* faultAck;
        const char* cure;
        const char* cureAck;
    } faults[] = {{"silent", "device silent", "answer", "device answering"},
                  {"delay 2600", "delayed by 2600 ms", "delay 0", "delayed by 0 ms"}};
    for (const auto& fault : faults) {
        const int before = lastValueBefore(sim, sim.events().size());
        QVERIFY(sim.command(QString::fromLatin1(fault.fault), QString::fromLatin1(fault.faultAck)));
        const double faultAt = monotonicMs();
        // The session is given up: the next exchange waits out the read time-out, and the reading after it asks
        // for a new seed.
        const int retry = follow(
            run,
            sim,
            [&](const DevsimEvent& e) { return e.isSeed() && e.t > faultAt; },
            kReadingMs + kReadTimeoutMs + kReadingMs + kSlackMs,
            before + 1);
        QVERIFY2(retry >= 0, fault.fault);
        QVERIFY(sim.command(QString::fromLatin1(fault.cure), QString::fromLatin1(fault.cureAck)));
        const double curedAt = monotonicMs();
        // The exchange under way may still wait out its time-out; the reading after it runs the handshake and the
        // one after that sends values.
        const int back = recovered(run, sim, kMsi, curedAt, kReadTimeoutMs + 2 * kReadingMs + kSlackMs);
        QVERIFY2(back >= 0, fault.fault);
        // Every frame built reached the device.
        int index = sim.events().at(before).index;
        for (int i = before + 1; i <= back; ++i) {
            const DevsimEvent& e = sim.events().at(i);
            if (e.isValue()) {
                QVERIFY2(e.shows(kMsi.temp, kMsi.fan, kMsi.load), qPrintable(describe(e)));
                QCOMPARE(e.index, ++index % 256);
            }
        }
    }

    // Late but within the time-out: the session holds, only the pace slows by the delay.
    {
        const int before = lastValueBefore(sim, sim.events().size());
        QVERIFY(sim.command(QStringLiteral("delay 700"), QStringLiteral("delayed by 700 ms")));
        const int a = nextValue(run, sim, kReadingMs + kSlackMs, before + 1);
        const int b = nextValue(run, sim, kReadingMs + 700 + kSlackMs, a + 1);
        QVERIFY(a >= 0 && b >= 0);
        QVERIFY(sim.command(QStringLiteral("delay 0"), QStringLiteral("delayed by 0 ms")));
        for (int i = before + 1; i <= b; ++i) {
            QVERIFY2(sim.events().at(i).shows(kMsi.temp, kMsi.fan, kMsi.load),
                     qPrintable(describe(sim.events().at(i))));
            QCOMPARE(sim.events().at(i).index, (sim.events().at(before).index + i - before) % 256);
        }
    }
    QCOMPARE(mMostServers, 1);
    QVERIFY(sim.malformedLines().isEmpty());
}

void TestE2e::sleepAndWake()
{
    LogindStandIn logind;
    QVERIFY2(logind.startBus(), qPrintable(logind.errorOutput()));
    QVERIFY(logind.claimName());

    OrvaneRun run;
    QVERIFY(run.prepare());
    run.setEnv(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), logind.address());
    run.setEnv(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("orvane.device.debug=true"));
    DevsimProcess sim;
    QVERIFY(startSession(run, sim));
    const int first = nextValue(run, sim, 10000, 0);
    QVERIFY(first >= 0);

    // Going to sleep: the program runs the handshake once more.
    const double sleepAt = monotonicMs();
    QVERIFY(logind.prepareForSleep(true));
    QVERIFY(run.waitForErrorOutput(QStringLiteral("Computer is going to sleep."), 5000));
    const int handshake = follow(
        run, sim, [&](const DevsimEvent& e) { return e.isSeed() && e.t > sleepAt; }, 5000, first + 1);
    QVERIFY(handshake > first);
    QVERIFY(!run.errorOutput().contains(QStringLiteral("Computer wakes up from sleep")));
    // The frames after it are scrambled with the new seed and decode right.
    const int afterSleep = nextValue(run, sim, kReadingMs + kSlackMs, handshake + 1);
    QVERIFY(afterSleep >= 0);
    QVERIFY(sim.events().at(afterSleep).shows(kMsi.temp, kMsi.fan, kMsi.load));
    QCOMPARE(sim.events().at(afterSleep).index, (sim.events().at(lastValueBefore(sim, afterSleep)).index + 1) % 256);

    // Waking up: the device is closed and the next reading opens a new session.
    const double wakeAt = monotonicMs();
    QVERIFY(logind.prepareForSleep(false));
    QVERIFY(run.waitForErrorOutput(QStringLiteral("Computer wakes up from sleep"), 5000));
    const int reconnect = follow(
        run, sim, [&](const DevsimEvent& e) { return e.isSeed() && e.t > wakeAt; }, kReadingMs + kSlackMs, afterSleep);
    QVERIFY2(reconnect >= 0, "no handshake at the reading after the wake-up");
    const int back = recovered(run, sim, kMsi, sim.events().at(reconnect).t, kReadingMs + kSlackMs);
    QVERIFY(back > reconnect);
    QCOMPARE(mMostServers, 1);
}

void TestE2e::exitWithStuckServer_data()
{
    QTest::addColumn<bool>("deafToTerminate");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("server stopped") << false << QStringList();
    QTest::newRow("server stopped and deaf to SIGTERM") << true << QStringList();
    QTest::newRow("headless, server stopped and deaf to SIGTERM") << true << QStringList {QStringLiteral("--headless")};
}

// Whatever the sensor server does, the program's own way out ends the program and the server within moments.
void TestE2e::exitWithStuckServer()
{
    QFETCH(bool, deafToTerminate);
    QFETCH(QStringList, arguments);
    OrvaneRun run;
    QVERIFY(run.prepare(deafToTerminate));
    DevsimProcess sim;
    QVERIFY(sim.start(run.devsimSocket(), {QStringLiteral("--json")}) && run.start(arguments));
    QVERIFY(nextValue(run, sim, 10000, 0) >= 0);
    QTRY_COMPARE(run.serverPids().size(), 1);
    const qint64 server = run.serverPids().first();
    QCOMPARE(::kill(pid_t(server), SIGSTOP), 0);
    idle(run, sim, kReadingMs);

    QElapsedTimer clock;
    clock.start();
    QVERIFY2(run.terminate(arguments.isEmpty() ? 10000 : 6000), qPrintable(run.errorOutput()));
    qInfo("exit with a stuck server took %lld ms", clock.elapsed());
    QTRY_VERIFY_WITH_TIMEOUT(run.machineServerPids().isEmpty(), 2000);
}

// Without XDG_RUNTIME_DIR the program runs on Qt's private stand-in folder, keeps hardInfo.xml off it (it may be on
// disk), and says each of that once, not at every reading.
void TestE2e::noRuntimeFolder()
{
    OrvaneRun run;
    QVERIFY(run.prepare());
    run.unsetEnv(QStringLiteral("XDG_RUNTIME_DIR"));
    DevsimProcess sim;
    QVERIFY(startSession(run, sim));
    int at = 0;
    for (int reading = 0; reading < 3; ++reading) {
        at = follow(
            run, sim, [](const DevsimEvent& e) { return e.shows(kMsi.temp, kMsi.fan, kMsi.load); }, 10000, at);
        QVERIFY2(at >= 0, qPrintable(run.errorOutput()));
        ++at;
    }
    const QString said = run.errorOutput();
    QVERIFY2(said.count(QStringLiteral("XDG_RUNTIME_DIR is not set")) == 1, qPrintable(said));
    QVERIFY2(!said.contains(QStringLiteral("QStandardPaths")), qPrintable(said));

    QCOMPARE(said.count(QStringLiteral("hardInfo.xml is not written")), 1);
    QVERIFY(run.terminate());
}

void TestE2e::chosenInSettingsFile_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Figures>("figures");
    QTest::addColumn<QByteArray>("nvidia");
    const QStringList window;
    const QStringList headless {QStringLiteral("--headless")};
    const QStringList given {QStringLiteral("--headless"), QStringLiteral("--settings"), QStringLiteral("given.ini")};
    QTest::newRow("no settings file") << QByteArray() << window << Figures {62, 1430, 6} << QByteArray();
    QTest::newRow("the GPU's junction and fan") << kAmdGpuChoice << window << kAmdGpu << QByteArray();
    QTest::newRow("headless, the user's file") << kAmdGpuChoice << headless << kAmdGpu << QByteArray();
    QTest::newRow("headless, no file") << QByteArray() << headless << Figures {62, 1430, 6} << QByteArray();
    QTest::newRow("headless, --settings missing") << kAmdGpuChoice << given << Figures {62, 1430, 6} << QByteArray();
    QTest::newRow("the amdgpu's load") << QByteArray("[DevInfo]\nload=amdgpu / GPU Core\n") << window
                                       << Figures {62, 1430, 23} << QByteArray();
    QTest::newRow("an NVIDIA card's figures") << kNvidiaChoice << window << Figures {54, 1450, 37} << kNvidiaCard;
    QTest::newRow("headless, an NVIDIA card's figures")
        << kNvidiaChoice << headless << Figures {54, 1450, 37} << kNvidiaCard;
    QTest::newRow("NVIDIA chosen, no NVML") << kNvidiaChoice << headless << Figures {0, 0, 0} << QByteArray();
}

// What the user chose last time drives the display from the first reading on.
void TestE2e::chosenInSettingsFile()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, arguments);
    QFETCH(Figures, figures);
    QFETCH(QByteArray, nvidia);
    OrvaneRun run(QStringLiteral("amd-x570-k10temp"));
    QVERIFY(run.prepare());
    // The recorded machine has no NVIDIA card in sysfs: the server reads NVML's own list.
    run.setEnv(QStringLiteral("LD_LIBRARY_PATH"), TestSupport::binaryDir() + QStringLiteral("/nvml-standin/full"));
    run.setEnv(QStringLiteral("NVML_STANDIN_GPUS"), run.root() + QStringLiteral("/gpus"));
    QFile gpus(run.root() + QStringLiteral("/gpus"));
    QVERIFY(gpus.open(QIODevice::WriteOnly) && gpus.write(nvidia) == nvidia.size());
    gpus.close();
    if (!settings.isEmpty()) {
        QVERIFY(QDir().mkpath(run.root() + QStringLiteral("/config/orvane")));
        QFile file(run.root() + QStringLiteral("/config/orvane/sysconf.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
    }
    DevsimProcess sim;
    QVERIFY(sim.start(run.devsimSocket(), {QStringLiteral("--json")}) && run.start(arguments));
    const int first = nextValue(run, sim, 10000, 0);
    QVERIFY(first >= 0);
    const DevsimEvent& e = sim.events().at(first);
    QVERIFY2(e.shows(figures.temp, figures.fan, figures.load), qPrintable(describe(e)));
    QVERIFY(run.terminate());
    // The headless program reads the file and never writes one; a file it cannot read is said once.
    if (!arguments.isEmpty()) {
        const QString said = run.errorOutput();
        QCOMPARE(said.count(QStringLiteral("no readable settings file")),
                 settings.isEmpty() || arguments.contains(QStringLiteral("--settings")) ? 1 : 0);
        QCOMPARE(QFileInfo::exists(run.root() + QStringLiteral("/config/orvane/sysconf.ini")), !settings.isEmpty());
    }
}

// orvane --headless with no display server, no session bus and no tray: the settings file's choice from the first
// reading on, unplug and plug, sleep and wake through logind, a window of the same user beside it with its own
// server, and SIGTERM.
void TestE2e::headlessWithoutDesktop()
{
    LogindStandIn logind;
    QVERIFY2(logind.startBus(), qPrintable(logind.errorOutput()));
    QVERIFY(logind.claimName());
    OrvaneRun run(QStringLiteral("amd-x570-k10temp"));
    QVERIFY(run.prepare());
    const QString settings = run.root() + QStringLiteral("/headless.ini");
    QVERIFY(writeFile(settings, kAmdGpuChoice));
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM"}) {
        run.unsetEnv(QLatin1String(name));
    }
    run.setEnv(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), logind.address());
    run.setEnv(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("orvane.device.debug=true"));
    DevsimProcess sim;
    QVERIFY(sim.start(run.devsimSocket(), {QStringLiteral("--json")}));
    const double startedAt = monotonicMs();
    QVERIFY(run.start({QStringLiteral("--headless"), QStringLiteral("--settings"), settings}));

    // No sweep to wait for: the first reading goes to the display, then one every reading.
    const int first = nextValue(run, sim, 5000, 0);
    QVERIFY2(first >= 0, qPrintable(run.errorOutput()));
    qInfo("first value frame %.0f ms after the start", sim.events().at(first).t - startedAt);
    QVERIFY2(sim.events().at(first).shows(kAmdGpu.temp, kAmdGpu.fan, kAmdGpu.load),
             qPrintable(describe(sim.events().at(first))));
    QVERIFY(recovered(run, sim, kAmdGpu, startedAt, 5000) == first);

    // One headless Orvane per user.
    QProcess* second = run.launchAnother({QStringLiteral("--headless")}, QStringLiteral("second.err"));
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(run.fileText(QStringLiteral("second.err")).contains(QStringLiteral("another headless Orvane")));

    // Unplugged and plugged in again.
    QVERIFY(sim.command(QStringLiteral("unplug"), QStringLiteral("device unplugged")));
    idle(run, sim, kReadingMs);
    QVERIFY(sim.command(QStringLiteral("plug"), QStringLiteral("device plugged in")));
    QVERIFY(recovered(run, sim, kAmdGpu, monotonicMs(), 2 * kReadingMs + kSlackMs) >= 0);

    // A window of the same user: its own server in its own socket, and it leaves the display alone.
    const QString windowLog = QStringLiteral("window.err");
    run.setEnv(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess* window = run.launchAnother({}, windowLog);
    QVERIFY(window->state() == QProcess::Running);
    QTRY_VERIFY2_WITH_TIMEOUT(run.machineServerPids().size() == 2, qPrintable(run.fileText(windowLog)), 10000);
    QCOMPARE(run.serverPids().size(), 1);
    QVERIFY(QFileInfo::exists(run.serverSocket()));
    QVERIFY(QFileInfo::exists(run.runtimeDir() + QStringLiteral("/orvane-headless/KALVOR_HWInfoServer")));
    const int beside = sim.events().size();
    idle(run, sim, 2 * kReadingMs);
    QVERIFY2(run.fileText(windowLog).count(QLatin1String(kHeldElsewhere)) == 1, qPrintable(run.fileText(windowLog)));
    for (int i = beside; i < sim.events().size(); ++i) {
        QVERIFY2(sim.events().at(i).shows(kAmdGpu.temp, kAmdGpu.fan, kAmdGpu.load),
                 qPrintable(describe(sim.events().at(i))));
    }
    // Sleep and wake: the holder closes the display and links it again; the window never gets in between.
    QVERIFY(logind.prepareForSleep(true));
    QVERIFY(run.waitForErrorOutput(QStringLiteral("Computer is going to sleep."), 5000));
    QVERIFY(logind.prepareForSleep(false));
    QVERIFY(run.waitForErrorOutput(QStringLiteral("Computer wakes up from sleep"), 5000));
    const double wokeAt = monotonicMs();
    const int reconnect = follow(
        run, sim, [&](const DevsimEvent& e) { return e.isSeed() && e.t > wokeAt; }, kReadingMs + kSlackMs, 0);
    QVERIFY2(reconnect >= 0, "no handshake at the reading after the wake-up");
    QVERIFY(recovered(run, sim, kAmdGpu, wokeAt, 2 * kReadingMs + kSlackMs) > reconnect);
    QVERIFY(!run.fileText(windowLog).contains(QStringLiteral("display linked")));

    // SIGTERM: it ends with its server; the window's stays and takes the display over.
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(run.terminate(6000), qPrintable(run.errorOutput()));
    const double endedAt = monotonicMs();
    qInfo("headless exit took %lld ms", clock.elapsed());
    QTRY_COMPARE_WITH_TIMEOUT(run.machineServerPids().size(), 1, 2000);
    QVERIFY(!QFileInfo::exists(run.runtimeDir() + QStringLiteral("/orvane-headless/KALVOR_HWInfoServer")));
    const int takeover =
        sim.waitForEvent([&](const DevsimEvent& e) { return e.isSeed() && e.t > endedAt; }, 2 * kReadingMs + kSlackMs);
    QVERIFY2(takeover >= 0, qPrintable(run.fileText(windowLog)));
    QVERIFY(window->state() == QProcess::Running);
    QVERIFY(sim.malformedLines().isEmpty());
}

void TestE2e::oneHolderAtATime_data()
{
    QTest::addColumn<QStringList>("otherArguments");
    QTest::addColumn<bool>("otherUser");
    QTest::newRow("headless, and a window in another runtime folder") << QStringList() << false;
    QTest::newRow("two headless of two users") << QStringList {QStringLiteral("--headless")} << true;
}

// A user who may not open the display, started first, holds nothing: the next Orvane links it at once.
void TestE2e::userWithoutAccessBlocksNobody()
{
    if (::geteuid() != 0) {
        QSKIP("a second user needs root");
    }
    ThrowawayUser user;
    QVERIFY(user.make());
    OrvaneRun outsider(QStringLiteral("amd-x570-k10temp"));
    OrvaneRun holder(QStringLiteral("amd-x570-k10temp"));
    outsider.runAs(user.uid, user.gid);
    QVERIFY(outsider.prepare() && holder.prepare());
    // The simulated display is this user's alone (socket and node 0600), as a hidraw node without the user's ACL:
    // the other user sees it and may not open it.
    QTemporaryDir shared(QStringLiteral("/tmp/orvane-shared-XXXXXX"));
    QVERIFY(QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7755)));
    const QString simSocket = shared.filePath(QStringLiteral("sim.sock"));
    outsider.setEnv(QStringLiteral("ORVANE_DEVSIM_SOCKET"), simSocket);
    holder.setEnv(QStringLiteral("ORVANE_DEVSIM_SOCKET"), simSocket);
    DevsimProcess sim;
    QVERIFY(sim.start(simSocket, {QStringLiteral("--json")}));
    QVERIFY(outsider.start({QStringLiteral("--headless")}));
    QVERIFY2(outsider.waitForErrorOutput(QStringLiteral("no display found"), 8000), qPrintable(outsider.errorOutput()));
    QVERIFY(holder.start({QStringLiteral("--headless")}));
    const int first = nextValue(holder, sim, 5000, 0);
    QVERIFY2(first >= 0, qPrintable(holder.errorOutput()));
    QVERIFY(!holder.errorOutput().contains(QLatin1String(kHeldElsewhere)));
    QVERIFY(!outsider.errorOutput().contains(QLatin1String(kHeldElsewhere)));
    QVERIFY(holder.terminate(6000) && outsider.terminate(6000));
}

// Two Orvanes, one display: the first to link it drives it alone, the other says so once and leaves it alone, and
// takes it over within moments of the holder's death.
void TestE2e::oneHolderAtATime()
{
    QFETCH(QStringList, otherArguments);
    QFETCH(bool, otherUser);

    ThrowawayUser user;
    OrvaneRun holder(QStringLiteral("amd-x570-k10temp"));
    OrvaneRun other(QStringLiteral("amd-x570-k10temp"));
    QStringList simArguments {QStringLiteral("--json")};
    QTemporaryDir shared(QStringLiteral("/tmp/orvane-shared-XXXXXX"));
    QString simSocket = holder.devsimSocket();
    if (otherUser) {
        if (::geteuid() != 0) {
            QSKIP("a second user needs root");
        }
        QVERIFY(user.make());
        other.runAs(user.uid, user.gid);
        QVERIFY(QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7755)));
        simSocket = shared.filePath(QStringLiteral("sim.sock"));
        simArguments << QStringLiteral("--socket-group") << user.groupName();
    }
    QVERIFY(holder.prepare() && other.prepare());
    holder.setEnv(QStringLiteral("ORVANE_DEVSIM_SOCKET"), simSocket);
    other.setEnv(QStringLiteral("ORVANE_DEVSIM_SOCKET"), simSocket);
    DevsimProcess sim;
    QVERIFY2(sim.start(simSocket, simArguments), qPrintable(sim.lastError()));

    QVERIFY(holder.start({QStringLiteral("--headless")}));
    const int first = nextValue(holder, sim, 5000, 0);
    QVERIFY2(first >= 0, qPrintable(holder.errorOutput()));
    QVERIFY(other.start(otherArguments));
    QVERIFY2(other.waitForErrorOutput(QLatin1String(kHeldElsewhere), 8000), qPrintable(other.errorOutput()));

    // Three readings with both running: one handshake in all, one frame per reading, none lost.
    const int from = sim.events().size();
    idle(holder, sim, 3 * kReadingMs);
    int values = 0;
    for (int i = first; i < sim.events().size(); ++i) {
        const DevsimEvent& e = sim.events().at(i);
        QVERIFY2(e.isValue() && e.index == sim.events().at(first).index + i - first, qPrintable(describe(e)));
        values += i >= from ? 1 : 0;
    }
    QVERIFY2(values >= 2 && values <= 4, qPrintable(QString::number(values)));
    QCOMPARE(other.errorOutput().count(QLatin1String(kHeldElsewhere)), 1);
    QCOMPARE(holder.errorOutput().count(QLatin1String(kHeldElsewhere)), 0);

    // The holder killed outright: the other links the display at its next reading.
    QCOMPARE(::kill(pid_t(holder.pid()), SIGKILL), 0);
    const double killedAt = monotonicMs();
    const int takeover = follow(
        other, sim, [&](const DevsimEvent& e) { return e.isValue() && e.t > killedAt; }, 6000, 0);
    QVERIFY2(takeover >= 0, qPrintable(other.errorOutput()));
    qInfo("the other's first frame %.0f ms after the holder's kill", sim.events().at(takeover).t - killedAt);
    QVERIFY(sim.events().at(takeover).shows(62, 1430, 6));
    QVERIFY(other.terminate(6000));
}

QTEST_GUILESS_MAIN(TestE2e)
#include "test_e2e.moc"
