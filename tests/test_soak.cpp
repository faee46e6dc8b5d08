// SPDX-License-Identifier: GPL-3.0-or-later
// Soak: the real program, its sensor server on a fixture machine and the device simulator run for a stretch while
// faults hit at random moments: the display pulled out, silent, late or slow, the sensor server killed, out of
// descriptors (its accepts fail) or replaced for a while by one that sends documents of 16 MiB and of almost 4 MiB,
// the computer going to sleep; and, in half the runs, the server stopped (SIGSTOP) when the program is told to end.
// Afterwards the simulator's record of every frame and the samples taken from /proc tell whether the figures stayed
// right, came back in time after each fault, and whether anything grew or was left behind.
//
//   ORVANE_SOAK_SECONDS  length of the run (default 120)
//   ORVANE_SOAK_SEED     seed of the fault plan (default: from the clock; the report names it, to run it again)
//   ORVANE_SOAK_LOG      file for the fault log and the report (default: soak.log in the working folder)
#include "devsimprocess.h"
#include "logindstandin.h"
#include "orvanerun.h"
#include "sensorpeer.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QtTest>
#include <algorithm>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <unistd.h>

namespace {
constexpr double kReadingMs = 2000;
// A device that does not answer holds the program for the transport's read time-out.
constexpr double kReadTimeoutMs = 2000;
// After a fault ends: the exchange under way may wait out its time-out, the next reading runs the handshake and the
// one after it sends the figures.
constexpr double kRecoveryLimitMs = kReadTimeoutMs + 2 * kReadingMs + 1500;
// Between two readings while nothing is wrong.
constexpr double kGapLimitMs = kReadingMs + 1000;
// Faults last this long at most; between them the program runs undisturbed for a while.
constexpr int kLongestHoldMs = 6000;
constexpr int kQuietMs[2] = {7000, 11000};
constexpr int kServerSampleMs = 250;
constexpr int kFigureSampleMs = 1000;
constexpr int kFigureLogEvery = 30;
// The heap's level moves in steps of 1 MiB as threads of Qt's pool come and go and huge replies pass; in the short
// steady stretch of a 3-minute run it was seen up to 2.5 MiB apart between quarters (the long soak shows the trend).
// A leak goes on growing.
constexpr qint64 kGrowthLimitKiB = 4096;
// What any reply may add to the resident memory of the steady state, at its peak.
constexpr qint64 kReplyPeakLimitKiB = 64 * 1024;
// The exit ends the program and its server within moments whatever the server does; this is far beyond that.
constexpr qint64 kExitLimitMs = 10000;

const QString kMachine = QStringLiteral("msi-b550-nct6687");
// What that machine shows: package temperature, the CPU fan, the load since boot of a /proc/stat that stays put.
constexpr int kTemp = 48;
constexpr int kFan = 1020;
constexpr int kLoad = 7;

enum class FaultKind { Unplug, Silent, Late, Slow, ServerKill, Sleep, AcceptFailure, OversizedReply, HolderSwap };
const char* const kFaultNames[] = {
    "unplug", "silent", "late", "slow", "server killed", "sleep", "accept failure", "oversized reply", "holder swap"};
constexpr int kFaultKinds = 9;

// A document of `bytes` or a little more: the fixture machine's figures, then CPU sensors no rule reads.
QByteArray documentOf(int bytes)
{
    QByteArray document = "<?xml version=\"1.0\"?><Computer><Hardware Name=\"Board\" HardwareType=\"Motherboard\">"
                          "<SubHardware Name=\"Fans\"><Sensor Name=\"CPU Fan\" SensorType=\"Fan\" Value=\"1020\"/>"
                          "</SubHardware></Hardware><Hardware Name=\"Intel Core i9\" HardwareType=\"Cpu\">"
                          "<Sensor Name=\"CPU Package\" SensorType=\"Temperature\" Value=\"48\"/>"
                          "<Sensor Name=\"CPU Total\" SensorType=\"Load\" Value=\"7\"/>";
    const QByteArray filler = "<Sensor Name=\"Core Load\" SensorType=\"Load\" Value=\"1\"/>";
    document.reserve(bytes + 64);
    while (document.size() + filler.size() + 20 < bytes) {
        document += filler;
    }
    return document + "</Hardware></Computer>";
}

struct Fault
{
    FaultKind kind;
    double start = 0; // ms of CLOCK_MONOTONIC, the simulator's clock too
    double end = 0;
    int delayMs = 0;
    double recoveredAt = -1; // the first frame with the right figures after the end
};

struct Sample
{
    double t;
    ProcessFigures figures;
};

double monotonicMs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

struct Spread
{
    qint64 min = 0;
    qint64 max = 0;
    qint64 median = 0;
};

Spread spreadOf(QList<qint64> values)
{
    if (values.isEmpty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    return {values.first(), values.last(), values.at(values.size() / 2)};
}

// The first and the last quarter of the samples of a stretch: [0] and [1].
struct Quarters
{
    Spread fds[2];
    Spread rss[2];
    Spread anon[2];
    Spread threads[2];
    int samplesEach = 0;

    bool valid() const { return samplesEach >= 3; }
};

// What the value frames say.
struct FrameFindings
{
    int values = 0;
    int outside = 0; // outside the fault windows
    int seeds = 0;
    int badFrames = 0;
    int wrongOutside = 0;
    int wrongInside = 0;
    int zerosAfterServerFault = 0;
    int indexErrors = 0;
    int lostToPull = 0;
};

// How the program came back after the faults.
struct RecoveryFindings
{
    double maxRecoveryMs = 0;
    double maxGapMs = 0;
    int unrecovered = 0;
    double byKindMs[kFaultKinds] = {};
};

// How the program ended.
struct EndFindings
{
    int serversAtEnd = 0;
    bool serverStopped = false;
    qint64 exitMs = -1;
    bool cleanExit = false;
    int handlesAfterExit = -1;
    bool socketGone = false;
    int strays = 0;
};

bool serverGone(qint64 pid)
{
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() !=
           QFileInfo(OrvaneRun::serverProgram()).canonicalFilePath();
}
} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

public:
    TestSoak()
    {
        // QtTest ends a test function after 5 minutes unless told otherwise; a long soak is meant to run longer.
        if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT")) {
            const double seconds = qEnvironmentVariable("ORVANE_SOAK_SECONDS").toDouble();
            qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(qint64(qMax(seconds, 120.0) + 180) * 1000));
        }
    }

private slots:
    void soak();

private:
    // The run.
    void runWithFaults(double seconds);
    void inject(FaultKind kind);
    void runUntil(double until);
    EndFindings stop();

    // What happened.
    QList<DevsimEvent> valueFrames() const;
    FrameFindings checkFrames();
    RecoveryFindings checkRecovery();
    double steadyFrom() const;
    Quarters quartersOf(double from, double to) const;
    qint64 peakKiB() const;

    // The report.
    void report(const FrameFindings& frames,
                const RecoveryFindings& recovery,
                const Quarters& whole,
                const Quarters& steady,
                const EndFindings& end);
    void logQuarters(const QString& stretch, const Quarters& q);
    void log(const QString& line);

    int uniform(int from, int to) { return std::uniform_int_distribution<int>(from, to)(mRandom); }
    FaultKind nextKind();
    void command(const QString& line, const QString& ack);
    bool faultStartedBetween(double from, double to, FaultKind kind) const;
    bool serverFaultBetween(double from, double to) const;
    bool inFaultWindow(double t) const;
    // From a fault's start until the figures are back.
    bool faultUnderWay(double t) const;
    QString at(double t) const { return QString::number((t - mStartedAt) / 1000.0, 'f', 1); }

    OrvaneRun mRun {kMachine};
    DevsimProcess mSim;
    LogindStandIn mLogind;
    QFile mLog;
    std::mt19937 mRandom;
    QList<Fault> mFaults;
    // Kinds still to come in this round: every kind once per round, in a random order.
    QList<FaultKind> mDeck;
    QList<Sample> mSamples;
    int mMostServers = 0;
    double mNextServerSample = 0;
    double mNextFigureSample = 0;
    double mStartedAt = 0;
    double mSettledAt = 0;
    double mStoppedAt = 0;
    // Whether the server is stopped when the program is told to end.
    bool mStopServerAtExit = false;
};

void TestSoak::soak()
{
    const double seconds = qEnvironmentVariableIsSet("ORVANE_SOAK_SECONDS")
                               ? qEnvironmentVariable("ORVANE_SOAK_SECONDS").toDouble()
                               : 120.0;
    QVERIFY2(seconds >= 90, "a soak needs at least 90 s to see every kind of fault and a steady state after them");
    const quint32 seed = qEnvironmentVariableIsSet("ORVANE_SOAK_SEED")
                             ? qEnvironmentVariable("ORVANE_SOAK_SEED").toUInt()
                             : quint32(std::time(nullptr));
    mRandom.seed(seed);
    mStopServerAtExit = uniform(0, 1) == 1;
    mLog.setFileName(qEnvironmentVariableIsSet("ORVANE_SOAK_LOG") ? qEnvironmentVariable("ORVANE_SOAK_LOG")
                                                                  : QStringLiteral("soak.log"));
    QVERIFY2(mLog.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(mLog.fileName()));
    log(QStringLiteral("soak: %1 s on %2, seed %3 (ORVANE_SOAK_SEED=%3 repeats the fault plan), %4")
            .arg(seconds)
            .arg(kMachine)
            .arg(seed)
            .arg(mStopServerAtExit ? QStringLiteral("the server stopped at exit") : QStringLiteral("a normal exit")));

    runWithFaults(seconds);
    if (QTest::currentTestFailed()) {
        return;
    }
    const EndFindings end = stop();
    const FrameFindings frames = checkFrames();
    const RecoveryFindings recovery = checkRecovery();
    const Quarters whole = quartersOf(mSettledAt, mStoppedAt);
    const Quarters steady = quartersOf(steadyFrom(), mStoppedAt);
    report(frames, recovery, whole, steady, end);

    // The figures: right outside the faults, with an unbroken frame index, back soon after each fault.
    QVERIFY(!mFaults.isEmpty());
    QVERIFY(frames.values > int(seconds / 4));
    QCOMPARE(frames.wrongOutside, 0);
    QCOMPARE(frames.badFrames, 0);
    QCOMPARE(frames.indexErrors, 0);
    QVERIFY(mSim.malformedLines().isEmpty());
    QCOMPARE(recovery.unrecovered, 0);
    QVERIFY(recovery.maxRecoveryMs <= kRecoveryLimitMs);
    QVERIFY(recovery.maxGapMs <= kGapLimitMs);

    // Nothing grows once every fault path has run. The samples are those taken while no fault was under way, and
    // medians, since a sample now and then catches a reading's socket. Samples while Qt's image-conversion pool
    // runs are left out: its threads stay for half a minute after each new picture, each with an event descriptor
    // and a few MB of heap, and a fault late in the run (a display gone silent or pulled out changes the link
    // picture) once kept them through a whole quarter.
    QVERIFY2(steady.valid(), "the run was too short for a steady state after every kind of fault");
    QVERIFY(steady.fds[1].median <= steady.fds[0].median);
    QVERIFY(steady.threads[1].median <= steady.threads[0].median);
    QVERIFY(steady.rss[1].median - steady.rss[0].median <= kGrowthLimitKiB);
    QVERIFY(steady.anon[1].median - steady.anon[0].median <= kGrowthLimitKiB);
    // Whatever a reply held, the peak stayed near the steady state.
    QVERIFY(peakKiB() - steady.rss[0].median <= kReplyPeakLimitKiB);

    // One server at a time, a new one for each one killed, and nothing left behind by the exit.
    const int kills =
        std::count_if(mFaults.begin(), mFaults.end(), [](const Fault& f) { return f.kind == FaultKind::ServerKill; });
    QCOMPARE(mMostServers, 1);
    QCOMPARE(mRun.serverStarts().size(), 1 + kills);
    QCOMPARE(end.serversAtEnd, 1);
    QVERIFY(end.cleanExit);
    QVERIFY(end.exitMs <= kExitLimitMs);
    QCOMPARE(end.handlesAfterExit, 0);
    // A stopped server is killed and cannot take its socket with it; the next one takes the place over.
    QVERIFY(end.socketGone || end.serverStopped);
    QCOMPARE(end.strays, 0);
}

// Starts everything, waits for the first figures, then alternates quiet stretches, long enough to see the program
// recover and run normally, with faults of a random kind, until `seconds` have passed.
void TestSoak::runWithFaults(double seconds)
{
    QVERIFY2(mLogind.startBus(), qPrintable(mLogind.errorOutput()));
    QVERIFY(mLogind.claimName());
    QVERIFY(mRun.prepare());
    mRun.setEnv(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), mLogind.address());
    QVERIFY(mSim.start(mRun.devsimSocket(), {QStringLiteral("--json")}));
    QVERIFY(mRun.start());
    mStartedAt = monotonicMs();
    const double endAt = mStartedAt + seconds * 1000.0;

    QVERIFY(mSim.waitForEvent([](const DevsimEvent& e) { return e.shows(kTemp, kFan, kLoad); }, 15000) >= 0);
    mSettledAt = monotonicMs();

    log(QStringLiteral("fault log (seconds after start):"));
    for (;;) {
        const double quietUntil = monotonicMs() + uniform(kQuietMs[0], kQuietMs[1]);
        if (quietUntil + kLongestHoldMs + kRecoveryLimitMs > endAt) {
            break;
        }
        runUntil(quietUntil);
        inject(nextKind());
    }
    runUntil(endAt);
    mStoppedAt = monotonicMs();
}

void TestSoak::inject(FaultKind kind)
{
    Fault fault;
    fault.kind = kind;
    const int holdMs = uniform(2000, kLongestHoldMs);
    QString detail;
    switch (kind) {
    case FaultKind::Unplug:
        command(QStringLiteral("unplug"), QStringLiteral("device unplugged"));
        fault.start = monotonicMs();
        runUntil(fault.start + holdMs);
        command(QStringLiteral("plug"), QStringLiteral("device plugged in"));
        break;
    case FaultKind::Silent:
        command(QStringLiteral("silent"), QStringLiteral("device silent"));
        fault.start = monotonicMs();
        runUntil(fault.start + holdMs);
        command(QStringLiteral("answer"), QStringLiteral("device answering"));
        break;
    case FaultKind::Late:
    case FaultKind::Slow:
        // Late misses the read time-out and ends the session; slow stays within it.
        fault.delayMs = kind == FaultKind::Late ? uniform(2200, 3000) : uniform(200, 1500);
        detail = QStringLiteral(", replies %1 ms late").arg(fault.delayMs);
        command(QStringLiteral("delay %1").arg(fault.delayMs), QStringLiteral("delayed by"));
        fault.start = monotonicMs();
        runUntil(fault.start + holdMs);
        command(QStringLiteral("delay 0"), QStringLiteral("delayed by 0 ms"));
        break;
    case FaultKind::ServerKill: {
        const QList<qint64> servers = mRun.serverPids();
        if (servers.size() != 1 || ::kill(pid_t(servers.first()), SIGKILL) != 0) {
            log(QStringLiteral("no kill: %1 servers ran").arg(servers.size()));
            return;
        }
        fault.start = monotonicMs();
        detail = QStringLiteral(", pid %1").arg(servers.first());
        break;
    }
    case FaultKind::Sleep:
        mLogind.prepareForSleep(true);
        fault.start = monotonicMs();
        runUntil(fault.start + uniform(500, 4000));
        mLogind.prepareForSleep(false);
        break;
    case FaultKind::AcceptFailure: {
        // Out of descriptors, the server cannot take the next connection; it waits in the backlog meanwhile.
        const QList<qint64> servers = mRun.serverPids();
        TestSupport::DescriptorsExhausted exhausted(servers.value(0));
        if (servers.size() != 1 || !exhausted.ok()) {
            log(QStringLiteral("no accept failure: %1 servers ran").arg(servers.size()));
            return;
        }
        fault.start = monotonicMs();
        runUntil(fault.start + holdMs);
        exhausted.restore();
        break;
    }
    case FaultKind::HolderSwap: {
        // Another holder takes the display while it is away, as another Orvane would (the same lock on its node),
        // keeps it for a while and lets it go: the program leaves it alone meanwhile and takes it back.
        const QByteArray node = QFile::encodeName(mRun.devsimSocket()) + ".node";
        command(QStringLiteral("unplug"), QStringLiteral("device unplugged"));
        fault.start = monotonicMs();
        const int rival = ::open(node.constData(), O_RDWR | O_CLOEXEC);
        // The program lets the display go at its first reading that finds it gone.
        const double giveUpAt = fault.start + 2 * kReadingMs + kReadTimeoutMs + 1000;
        while (::flock(rival, LOCK_EX | LOCK_NB) != 0 && monotonicMs() < giveUpAt) {
            runUntil(monotonicMs() + 50);
        }
        command(QStringLiteral("plug"), QStringLiteral("device plugged in"));
        const int heldFrom = mSim.events().size();
        runUntil(monotonicMs() + holdMs);
        const int framesWhileHeld = mSim.events().size() - heldFrom;
        ::close(rival);
        detail = QStringLiteral(", %1 frames while held elsewhere").arg(framesWhileHeld);
        QVERIFY2(framesWhileHeld == 0, qPrintable(detail));
        break;
    }
    case FaultKind::OversizedReply: {
        // The server stands aside (stopped, its socket moved) for a stand-in whose replies are huge, then comes back
        // as it was.
        const QList<qint64> servers = mRun.serverPids();
        const QByteArray socket = QFile::encodeName(mRun.serverSocket());
        const QByteArray aside = socket + ".aside";
        if (servers.size() != 1 || ::kill(pid_t(servers.first()), SIGSTOP) != 0) {
            log(QStringLiteral("no oversized reply: %1 servers ran").arg(servers.size()));
            return;
        }
        ::rename(socket.constData(), aside.constData());
        {
            Script huge;
            huge.documents = {documentOf(16 * 1024 * 1024), documentOf(4 * 1024 * 1024 - 4096)};
            huge.socketPath = mRun.serverSocket();
            PeerServer standIn(huge);
            fault.start = monotonicMs();
            runUntil(fault.start + qMax(holdMs, int(2 * kReadingMs + 500)));
            detail = QStringLiteral(", %1 replies").arg(standIn.requests().size());
        }
        ::rename(aside.constData(), socket.constData());
        ::kill(pid_t(servers.first()), SIGCONT);
        break;
    }
    }
    fault.end = kind == FaultKind::ServerKill ? fault.start : monotonicMs();
    mFaults << fault;
    log(QStringLiteral("%1 s  %2 for %3 s%4")
            .arg(at(fault.start), 7)
            .arg(QLatin1String(kFaultNames[int(kind)]))
            .arg((fault.end - fault.start) / 1000.0, 0, 'f', 1)
            .arg(detail));
}

// Follows the run until `until`: the simulator's frames, how many servers run, and the program's figures.
void TestSoak::runUntil(double until)
{
    for (double now = monotonicMs(); now < until; now = monotonicMs()) {
        mSim.pump(int(qBound(1.0, until - now, 100.0)));
        if (now >= mNextServerSample) {
            mMostServers = qMax(mMostServers, int(mRun.serverPids().size()));
            mNextServerSample = now + kServerSampleMs;
        }
        if (now >= mNextFigureSample) {
            const Sample sample {now, ProcessFigures::of(mRun.pid())};
            mSamples << sample;
            mNextFigureSample = now + kFigureSampleMs;
            // Now and then into the log, to show the trend.
            if (mSamples.size() % kFigureLogEvery == 1) {
                mLog.write(QStringLiteral("%1 s  orvane: %2 fds, VmRSS %3 KiB, RssAnon %4 KiB, %5 threads\n")
                               .arg(at(now), 7)
                               .arg(sample.figures.fds)
                               .arg(sample.figures.rssKiB)
                               .arg(sample.figures.rssAnonKiB)
                               .arg(sample.figures.threads)
                               .toUtf8());
                mLog.flush();
            }
        }
    }
}

// The program's own way out (the tray's exit): the server is asked to stop, the device closed.
EndFindings TestSoak::stop()
{
    EndFindings end;
    const QList<qint64> servers = mRun.serverPids();
    end.serversAtEnd = servers.size();
    if (mStopServerAtExit && servers.size() == 1) {
        end.serverStopped = ::kill(pid_t(servers.first()), SIGSTOP) == 0;
    }
    QElapsedTimer clock;
    clock.start();
    end.cleanExit = mRun.terminate(20000);
    end.exitMs = clock.elapsed();
    mSim.pump(200);
    end.handlesAfterExit = mSim.openHandles();
    end.socketGone = !QFileInfo::exists(mRun.serverSocket());
    QThread::msleep(500);
    end.strays = mRun.machineServerPids().size();
    for (qint64 pid : mRun.serverStarts()) {
        end.strays += serverGone(pid) ? 0 : 1;
    }
    return end;
}

QList<DevsimEvent> TestSoak::valueFrames() const
{
    QList<DevsimEvent> values;
    for (const DevsimEvent& e : mSim.events()) {
        if (e.isValue()) {
            values << e;
        }
    }
    return values;
}

// Every value frame: the right figures outside the fault windows; the index one on from the frame before, or two
// when the device was pulled out in between (the frame that met it had its index), as at a holder swap.
FrameFindings TestSoak::checkFrames()
{
    FrameFindings found;
    for (const DevsimEvent& e : mSim.events()) {
        found.seeds += e.isSeed() ? 1 : 0;
        found.badFrames += e.kind == QLatin1String("bad-frame") ? 1 : 0;
    }
    const QList<DevsimEvent> values = valueFrames();
    found.values = values.size();
    for (int i = 0; i < values.size(); ++i) {
        const DevsimEvent& e = values.at(i);
        const bool right = e.shows(kTemp, kFan, kLoad);
        if (inFaultWindow(e.t)) {
            found.wrongInside += right ? 0 : 1;
        } else {
            ++found.outside;
            const bool firstAfterServerFault = i > 0 && serverFaultBetween(values.at(i - 1).t, e.t);
            if (!right && firstAfterServerFault && e.temp == 0 && e.fan == 0 && e.load == 0) {
                ++found.zerosAfterServerFault;
            } else if (!right) {
                ++found.wrongOutside;
                log(QStringLiteral("wrong figures at %1 s: #%2 %3/%4/%5")
                        .arg(at(e.t))
                        .arg(e.index)
                        .arg(e.temp)
                        .arg(e.fan)
                        .arg(e.load));
            }
        }
        if (i > 0) {
            const int step = (e.index - values.at(i - 1).index + 256) % 256;
            if (step == 2 && (faultStartedBetween(values.at(i - 1).t, e.t, FaultKind::Unplug) ||
                              faultStartedBetween(values.at(i - 1).t, e.t, FaultKind::HolderSwap))) {
                ++found.lostToPull;
            } else if (step != 1) {
                ++found.indexErrors;
                log(QStringLiteral("index %1 after %2 at %3 s").arg(e.index).arg(values.at(i - 1).index).arg(at(e.t)));
            }
        }
    }
    return found;
}

// After each fault: how long until the figures are back, and no reading missed from then until the next fault.
RecoveryFindings TestSoak::checkRecovery()
{
    RecoveryFindings found;
    const QList<DevsimEvent> values = valueFrames();
    double stretchFrom = mSettledAt;
    for (int f = 0; f <= mFaults.size(); ++f) {
        // The gaps in a stretch without faults, up to its end: the readings went on till the next fault began.
        const double stretchTo = f < mFaults.size() ? mFaults.at(f).start : mStoppedAt;
        double last = -1;
        for (const DevsimEvent& e : values) {
            if (e.t >= stretchFrom && e.t <= stretchTo) {
                found.maxGapMs = last >= 0 ? qMax(found.maxGapMs, e.t - last) : found.maxGapMs;
                last = e.t;
            }
        }
        if (last >= 0) {
            found.maxGapMs = qMax(found.maxGapMs, stretchTo - last);
        }
        if (f == mFaults.size()) {
            break;
        }

        Fault& fault = mFaults[f];
        const auto back = std::find_if(values.begin(), values.end(), [&fault](const DevsimEvent& e) {
            return e.t > fault.end && e.shows(kTemp, kFan, kLoad);
        });
        if (back == values.end()) {
            ++found.unrecovered;
            stretchFrom = mStoppedAt;
            continue;
        }
        fault.recoveredAt = back->t;
        const double recovery = fault.recoveredAt - fault.end;
        found.maxRecoveryMs = qMax(found.maxRecoveryMs, recovery);
        found.byKindMs[int(fault.kind)] = qMax(found.byKindMs[int(fault.kind)], recovery);
        stretchFrom = fault.recoveredAt;
    }
    return found;
}

// The steady state begins once every kind of fault has run and been recovered from: before that a first time can
// still leave something for good (the first disconnect loads the not-linked picture into Qt's pixmap cache, a
// megabyte and a half).
double TestSoak::steadyFrom() const
{
    double from = mSettledAt;
    for (int k = 0; k < kFaultKinds; ++k) {
        const auto first =
            std::find_if(mFaults.begin(), mFaults.end(), [k](const Fault& f) { return int(f.kind) == k; });
        if (first == mFaults.end() || first->recoveredAt < 0) {
            return mStoppedAt;
        }
        from = qMax(from, first->recoveredAt);
    }
    return from;
}

// The first and the last quarter of the samples in [from, to] that were taken while no fault was under way and
// Qt's pool was gone.
Quarters TestSoak::quartersOf(double from, double to) const
{
    QList<ProcessFigures> clean;
    for (const Sample& s : mSamples) {
        if (s.t >= from && s.t <= to && s.figures.valid() && s.figures.pooledThreads == 0 && !faultUnderWay(s.t)) {
            clean << s.figures;
        }
    }
    const int quarter = clean.size() / 4;
    Quarters result;
    for (int q = 0; q < 2; ++q) {
        QList<qint64> fds, rss, anon, threads;
        for (const ProcessFigures& f : clean.mid(q == 0 ? 0 : clean.size() - quarter, quarter)) {
            fds << f.fds;
            rss << f.rssKiB;
            anon << f.rssAnonKiB;
            threads << f.threads;
        }
        result.fds[q] = spreadOf(fds);
        result.rss[q] = spreadOf(rss);
        result.anon[q] = spreadOf(anon);
        result.threads[q] = spreadOf(threads);
        result.samplesEach = quarter;
    }
    return result;
}

void TestSoak::report(const FrameFindings& frames,
                      const RecoveryFindings& recovery,
                      const Quarters& whole,
                      const Quarters& steady,
                      const EndFindings& end)
{
    int byKind[kFaultKinds] = {};
    for (const Fault& fault : qAsConst(mFaults)) {
        ++byKind[int(fault.kind)];
    }
    QStringList kinds;
    QStringList recoveries;
    for (int k = 0; k < kFaultKinds; ++k) {
        kinds << QStringLiteral("%1 %2").arg(QLatin1String(kFaultNames[k])).arg(byKind[k]);
        if (byKind[k] > 0) {
            recoveries << QStringLiteral("%1 %2 s")
                              .arg(QLatin1String(kFaultNames[k]))
                              .arg(recovery.byKindMs[k] / 1000.0, 0, 'f', 1);
        }
    }

    log(QStringLiteral("report:"));
    log(QStringLiteral("  duration %1 s, %2 faults injected (%3)")
            .arg((mStoppedAt - mStartedAt) / 1000.0, 0, 'f', 0)
            .arg(mFaults.size())
            .arg(kinds.join(QStringLiteral(", "))));
    log(QStringLiteral("  frames: %1 value frames (%2 outside fault windows), %3 seed requests, %4 bad frames")
            .arg(frames.values)
            .arg(frames.outside)
            .arg(frames.seeds)
            .arg(frames.badFrames));
    log(QStringLiteral("  decode errors outside fault windows: %1 (inside: %2; zero readings right after a server "
                       "kill or as a server fault was lifted: %3)")
            .arg(frames.wrongOutside)
            .arg(frames.wrongInside)
            .arg(frames.zerosAfterServerFault));
    log(QStringLiteral("  frame index errors: %1 (steps of 2 across a pulled device: %2)")
            .arg(frames.indexErrors)
            .arg(frames.lostToPull));
    log(QStringLiteral("  figures back after a fault ended: at most %1 s (limit %2 s; %3), never back: %4")
            .arg(recovery.maxRecoveryMs / 1000.0, 0, 'f', 1)
            .arg(kRecoveryLimitMs / 1000.0, 0, 'f', 1)
            .arg(recoveries.join(QStringLiteral(", ")))
            .arg(recovery.unrecovered));
    log(QStringLiteral("  longest gap between readings outside faults: %1 s (limit %2 s)")
            .arg(recovery.maxGapMs / 1000.0, 0, 'f', 2)
            .arg(kGapLimitMs / 1000.0, 0, 'f', 1));
    logQuarters(QStringLiteral("whole run"), whole);
    if (steady.valid()) {
        logQuarters(QStringLiteral("steady state from %1 s").arg(at(steadyFrom())), steady);
    } else {
        log(QStringLiteral("  steady state: too short a run to see every kind of fault and then some"));
    }
    log(QStringLiteral("  sensor servers: %1 started, at most %2 at once, %3 at the end; stray after exit: %4")
            .arg(mRun.serverStarts().size())
            .arg(mMostServers)
            .arg(end.serversAtEnd)
            .arg(end.strays));
    log(QStringLiteral("  exit%1: %2 after %3 ms, device handles open after it %4, server socket %5")
            .arg(end.serverStopped ? QStringLiteral(" with the server stopped") : QString())
            .arg(end.cleanExit ? QStringLiteral("code 0") : QStringLiteral("NOT clean"))
            .arg(end.exitMs)
            .arg(end.handlesAfterExit)
            .arg(end.socketGone ? QStringLiteral("gone") : QStringLiteral("left behind")));
    log(QStringLiteral("  peak resident memory %1 KiB, %2 KiB above the steady state's (limit %3 KiB)")
            .arg(peakKiB())
            .arg(peakKiB() - steady.rss[0].median)
            .arg(kReplyPeakLimitKiB));
}

void TestSoak::logQuarters(const QString& stretch, const Quarters& q)
{
    log(QStringLiteral("  orvane over the %1, first quarter against last of the samples without a fault under way "
                       "and Qt's pool gone (%2 each):")
            .arg(stretch)
            .arg(q.samplesEach));
    const struct
    {
        const char* what;
        const Spread* spread;
    } rows[] = {{"open fds", q.fds}, {"VmRSS KiB", q.rss}, {"RssAnon KiB", q.anon}, {"threads", q.threads}};
    for (const auto& row : rows) {
        log(QStringLiteral("    %1: %2..%3 (median %4) against %5..%6 (median %7)")
                .arg(QLatin1String(row.what), -12)
                .arg(row.spread[0].min)
                .arg(row.spread[0].max)
                .arg(row.spread[0].median)
                .arg(row.spread[1].min)
                .arg(row.spread[1].max)
                .arg(row.spread[1].median));
    }
}

qint64 TestSoak::peakKiB() const
{
    qint64 peak = 0;
    for (const Sample& s : mSamples) {
        peak = qMax(peak, s.figures.peakKiB);
    }
    return peak;
}

void TestSoak::log(const QString& line)
{
    qInfo("%s", qPrintable(line));
    mLog.write(line.toUtf8() + '\n');
    mLog.flush();
}

FaultKind TestSoak::nextKind()
{
    if (mDeck.isEmpty()) {
        for (int k = 0; k < kFaultKinds; ++k) {
            mDeck << FaultKind(k);
        }
        std::shuffle(mDeck.begin(), mDeck.end(), mRandom);
    }
    return mDeck.takeFirst();
}

void TestSoak::command(const QString& line, const QString& ack)
{
    if (!mSim.command(line, ack)) {
        log(QStringLiteral("simulator did not take '%1'").arg(line));
    }
}

bool TestSoak::faultStartedBetween(double from, double to, FaultKind kind) const
{
    return std::any_of(mFaults.begin(), mFaults.end(), [&](const Fault& f) {
        return f.kind == kind && f.start > from && f.start < to;
    });
}

// A fault of the sensor server spoils at most the one exchange under way when it strikes (a kill) or when it is
// lifted (the stand-in's huge reply, or a connection in the backlog answered too late): that reading is zeros.
bool TestSoak::serverFaultBetween(double from, double to) const
{
    return std::any_of(mFaults.begin(), mFaults.end(), [&](const Fault& f) {
        const bool lifted = f.kind == FaultKind::OversizedReply || f.kind == FaultKind::AcceptFailure;
        const double when = lifted ? f.end : f.start;
        return (lifted || f.kind == FaultKind::ServerKill) && when > from && when < to;
    });
}

bool TestSoak::faultUnderWay(double t) const
{
    return std::any_of(mFaults.begin(), mFaults.end(), [this, t](const Fault& f) {
        return t >= f.start && t <= (f.recoveredAt >= 0 ? f.recoveredAt : mStoppedAt);
    });
}

bool TestSoak::inFaultWindow(double t) const
{
    return std::any_of(mFaults.begin(), mFaults.end(), [t](const Fault& f) { return t >= f.start && t <= f.end; });
}

QTEST_GUILESS_MAIN(TestSoak)
#include "test_soak.moc"
