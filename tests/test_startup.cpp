// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the real program as a process: one instance at a time, "--bootstart" starting hidden, and "--help"
// and "--version" answered before anything starts.
#include "commandline.h"
#include "testsupport.h"
#include "throwawayuser.h"
#include "xserver.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kMainTitle = QStringLiteral("^Orvane v1\\.0\\.0\\.1$");
const QString kNoticeTitle = QStringLiteral("^Notice$");
constexpr int kWindowWaitMs = 20000;
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

    XServer mX;
    QTemporaryDir mAppDir;
    std::unique_ptr<QTemporaryDir> mKeys;
    QList<QProcess*> mStarted;

    // A copy of the program alone in a folder: no sensor server beside it, so it starts no other process.
    QString program() const { return mAppDir.filePath(QStringLiteral("orvane")); }

    QProcess* launch(const QStringList& arguments = {},
                     const XServer* x = nullptr,
                     QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
    {
        auto* process = new QProcess(this);
        env.insert(QStringLiteral("DISPLAY"), (x ? x : &mX)->display());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // The single-instance lock lives in the user's runtime folder: every test case gets its own.
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), mKeys->path());
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(program(), arguments);
        process->waitForStarted(10000);
        mStarted << process;
        return process;
    }

    // Closes the "already running" notice as a user would, with the Escape key.
    bool dismissNotice()
    {
        const QStringList notices = mX.findWindows(kNoticeTitle, true, kWindowWaitMs);
        return notices.size() == 1 && mX.pressKey(notices.first(), QStringLiteral("Escape"));
    }

    static bool stillRunningAfter(QProcess* process, int ms)
    {
        return !process->waitForFinished(ms) && process->state() == QProcess::Running;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(mX.start(), "Xvfb could not be started");
        QVERIFY2(mX.startTray(), "trayer could not be started");
        // orvane --headless goes on as orvane-headless beside it.
        for (const QString& name : {QStringLiteral("orvane"), QStringLiteral("orvane-headless")}) {
            const QString copy = mAppDir.filePath(name);
            QVERIFY(QFile::copy(TestSupport::binaryDir() + QLatin1Char('/') + name, copy));
            QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
    }

    void init() { mKeys = std::make_unique<QTemporaryDir>(); }

    void cleanup()
    {
        for (QProcess* process : mStarted) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(10000)) {
                    process->kill();
                    process->waitForFinished(5000);
                }
            }
            delete process;
        }
        mStarted.clear();
        mKeys.reset();
    }

    void secondStartIsRefused()
    {
        QProcess* first = launch();
        QCOMPARE(mX.findWindows(kMainTitle, true, kWindowWaitMs).size(), 1);

        QProcess* second = launch();
        QVERIFY(dismissNotice());
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);

        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(mX.findWindows(kMainTitle, true, 1000).size(), 1);
    }

    void simultaneousStartsLeaveOne()
    {
        QProcess* a = launch();
        QProcess* b = launch();
        QVERIFY(dismissNotice());
        // Exactly one of the two gives way, with exit code 0.
        QProcess* refused = nullptr;
        QVERIFY(QTest::qWaitFor(
            [&]() { return a->state() == QProcess::NotRunning || b->state() == QProcess::NotRunning; }, 10000));
        refused = a->state() == QProcess::NotRunning ? a : b;
        QProcess* kept = refused == a ? b : a;
        QCOMPARE(refused->exitCode(), 0);
        QVERIFY(stillRunningAfter(kept, 1500));
        QCOMPARE(mX.findWindows(kNoticeTitle, true, 0).size(), 0);
    }

    void startAfterKilledInstanceRuns()
    {
        QProcess* first = launch();
        QCOMPARE(mX.findWindows(kMainTitle, true, kWindowWaitMs).size(), 1);
        ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
        QVERIFY(first->waitForFinished(5000));

        QProcess* next = launch();
        QCOMPARE(mX.findWindows(kMainTitle, true, kWindowWaitMs).size(), 1);
        QCOMPARE(mX.findWindows(kNoticeTitle, true, 0).size(), 0);
        QVERIFY(stillRunningAfter(next, 500));

        // And the instance that took over is itself guarded.
        QProcess* another = launch();
        QVERIFY(dismissNotice());
        QVERIFY(another->waitForFinished(10000));
        QCOMPARE(another->exitCode(), 0);
    }

    void startAfterCleanExitRuns()
    {
        QProcess* first = launch();
        QCOMPARE(mX.findWindows(kMainTitle, true, kWindowWaitMs).size(), 1);
        // The session's end request takes the program's own way out.
        first->terminate();
        QVERIFY(first->waitForFinished(10000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);

        launch();
        QCOMPARE(mX.findWindows(kMainTitle, true, kWindowWaitMs).size(), 1);
        QCOMPARE(mX.findWindows(kNoticeTitle, true, 0).size(), 0);
    }

    void bootStartArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("exactly --bootstart") << QStringList {"--bootstart"} << true;
        QTest::newRow("letter case") << QStringList {"--BootStart"} << false;
        QTest::newRow("appended value") << QStringList {"--bootstart=1"} << false;
        QTest::newRow("second argument") << QStringList {"--bootstart", "extra"} << false;
        QTest::newRow("no argument") << QStringList {} << false;
    }

    void bootStartArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, hidden);
        QProcess* process = launch(arguments);
        // The window exists in every case (its native handle is made at start-up); only its mapping differs.
        QCOMPARE(mX.findWindows(kMainTitle, false, kWindowWaitMs).size() >= 1, true);
        if (hidden) {
            QVERIFY(QTest::qWaitFor([this]() { return mX.trayHasIcon(QStringLiteral("orvane")); }, kWindowWaitMs));
            QCOMPARE(mX.findWindows(kMainTitle, true, 0).size(), 0);
        } else {
            QCOMPARE(mX.findWindows(kMainTitle, true, kWindowWaitMs).size(), 1);
        }
        QCOMPARE(process->state(), QProcess::Running);
    }

    void bootStartWithoutTrayMinimises()
    {
        // A desktop without a tray: hidden while a tray may still come up, then minimised, or there would be no way
        // back to the window.
        XServer bare;
        QVERIFY(bare.start());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORVANE_TRAY_WAIT_SECONDS"), QStringLiteral("3"));
        QProcess* process = launch({QStringLiteral("--bootstart")}, &bare, env);
        const QStringList windows = bare.findWindows(kMainTitle, false, kWindowWaitMs);
        QCOMPARE(windows.size(), 1);
        QCOMPARE(bare.findWindows(kMainTitle, true, 0).size(), 0);
        QVERIFY(QTest::qWaitFor(
            [&]() {
                return bare.windowProperty(windows.first(), QStringLiteral("WM_HINTS"))
                    .contains(QStringLiteral("Iconic"));
            },
            kWindowWaitMs));
        QCOMPARE(process->state(), QProcess::Running);

        // A tray after all: the icon goes into it, and the window, still minimised, with it.
        QVERIFY(bare.startTray());
        QVERIFY(QTest::qWaitFor([&]() { return bare.trayHasIcon(QStringLiteral("orvane")); }, kWindowWaitMs));
        QVERIFY(QTest::qWaitFor([&]() { return bare.findWindows(kMainTitle, true, 0).isEmpty(); }, kWindowWaitMs));
    }

    // The log says why the session's runtime folder could not serve before it names the stand-in.
    void runtimeFolderProblemSaid_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::newRow("missing") << QStringLiteral("does not exist");
        QTest::newRow("another user's") << QStringLiteral("belongs to nobody, not to this user");
    }

    void runtimeFolderProblemSaid()
    {
        QFETCH(QString, problem);
        QTemporaryDir work;
        // Qt makes a missing folder where it can: none can be made under /proc.
        QString folder = QStringLiteral("/proc/orvane-no-such-folder/runtime");
        if (problem.startsWith(QLatin1String("belongs"))) {
            folder = work.filePath(QStringLiteral("runtime"));
            if (::geteuid() != 0) {
                QSKIP("giving a folder to nobody needs root");
            }
            QVERIFY(QDir().mkdir(folder));
            QCOMPARE(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder);
        env.insert(QStringLiteral("TMPDIR"), mKeys->path());
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program(), {QStringLiteral("--headless")});
        const QByteArray expected = QStringLiteral("XDG_RUNTIME_DIR (%1) %2 - using").arg(folder, problem).toUtf8();
        QByteArray said;
        const bool seen = QTest::qWaitFor(
            [&]() {
                said += process.readAllStandardError();
                return said.contains(expected);
            },
            10000);
        process.terminate();
        QVERIFY(process.waitForFinished(10000));
        QVERIFY2(seen, said.constData());
    }

    void helpAndVersion_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("answer"); // empty: not answered, the program starts
        QTest::addColumn<int>("exitCode");
        QTest::newRow("--help") << QStringList {"--help"} << CommandLine::usage() << 0;
        QTest::newRow("--version") << QStringList {"--version"} << QStringLiteral("Orvane " ORVANE_PROJECT_VERSION "\n")
                                   << 0;
        QTest::newRow("--help and more") << QStringList {"--help", "--bootstart"} << QString() << 0;
        QTest::newRow("-h") << QStringList {"-h"} << QString() << 0;
        // Refused before anything starts, with the usage on standard error.
        QTest::newRow("--headless and a stray argument") << QStringList {"--headless", "--bootstart"} << QString() << 2;
        QTest::newRow("--settings without a file") << QStringList {"--headless", "--settings"} << QString() << 2;
    }

    void helpAndVersion()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, answer);
        QFETCH(int, exitCode);
        // Nothing to show on: no display, no compositor, no platform asked for.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env.remove(QLatin1String(name));
        }
        QTemporaryDir runtime;
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("TMPDIR"), mKeys->path());
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program(), arguments);
        QVERIFY(process.waitForFinished(10000));
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QByteArray err = process.readAllStandardError();
        if (exitCode != 0) {
            QCOMPARE(process.exitCode(), exitCode);
            QVERIFY2(err.contains("Usage: orvane --headless [--settings FILE]"), err.constData());
            QCOMPARE(out, QString());
        } else if (answer.isEmpty()) {
            // The program started as any other command line starts it, and found nothing to show on.
            QVERIFY2(err.contains("could not connect to display"), err.constData());
            QCOMPARE(out, QString());
            return;
        } else {
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(process.exitCode(), 0);
            QCOMPARE(out, answer);
            QCOMPARE(err, QByteArray());
        }
        // No single-instance objects, no socket, no sensor document.
        const auto entries = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QVERIFY(QDir(mKeys->path()).entryList(entries).isEmpty());
        QVERIFY(QDir(runtime.path()).entryList(entries).isEmpty());
        QVERIFY(!QFileInfo::exists(mAppDir.filePath(QStringLiteral("hardInfo.xml"))));
    }

    // Another user's instance neither refuses nor blocks this user's start; each user still runs one at a time.
    void eachUserRunsOne()
    {
        if (::geteuid() != 0) {
            QSKIP("making a second user needs root");
        }
        ThrowawayUser user;
        QVERIFY(user.make());
        const uid_t uid = user.uid;
        const gid_t gid = user.gid;

        // A copy of the program the other user may run, and a runtime folder of each user's own.
        QTemporaryDir shared(QStringLiteral("/tmp/orvane-users-XXXXXX"));
        QVERIFY(QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7755)));
        const QString copy = shared.filePath(QStringLiteral("orvane"));
        QVERIFY(QFile::copy(program(), copy));
        QVERIFY(QFile::setPermissions(copy, QFileDevice::Permissions(0x7755)));
        const QString theirRuntime = shared.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkdir(theirRuntime));
        QCOMPARE(::chown(QFile::encodeName(theirRuntime).constData(), uid, gid), 0);
        QCOMPARE(::chmod(QFile::encodeName(theirRuntime).constData(), 0700), 0);

        // Offscreen: a refused start then waits on its notice, which the log line gives away.
        auto start = [&](bool asOther) {
            auto* process = new QProcess(this);
            QProcessEnvironment env;
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), asOther ? theirRuntime : mKeys->path());
            env.insert(QStringLiteral("HOME"), asOther ? shared.path() : QDir::homePath());
            process->setProcessEnvironment(env);
            process->setProcessChannelMode(QProcess::MergedChannels);
            if (asOther) {
                process->start(QStringLiteral("setpriv"),
                               {QStringLiteral("--reuid=%1").arg(uid),
                                QStringLiteral("--regid=%1").arg(gid),
                                QStringLiteral("--clear-groups"),
                                QStringLiteral("--"),
                                copy});
            } else {
                process->start(copy, QStringList());
            }
            mStarted << process;
            return process;
        };
        QByteArray output;
        auto says = [&](QProcess* process, const char* text) {
            return QTest::qWaitFor([&]() { return (output = process->peek(1 << 20)).contains(text); }, kWindowWaitMs);
        };
        const char* running = "no system tray";
        const char* refused = "another instance runs already";

        QProcess* mine = start(false);
        QVERIFY(says(mine, running));
        QProcess* theirs = start(true);
        QVERIFY2(says(theirs, running), output.constData());
        QVERIFY(!output.contains(refused));
        QProcess* theirSecond = start(true);
        QVERIFY2(says(theirSecond, refused), output.constData());
        theirSecond->kill();

        // Theirs killed outright: their next start runs, and mine never noticed.
        ::kill(pid_t(theirs->processId()), SIGKILL);
        QVERIFY(theirs->waitForFinished(5000));
        QProcess* theirNext = start(true);
        QVERIFY2(says(theirNext, running), output.constData());
        QVERIFY(!output.contains(refused));
        QVERIFY(stillRunningAfter(mine, 100));
    }

    void refusedBootStartStillShowsNotice()
    {
        launch();
        QCOMPARE(mX.findWindows(kMainTitle, true, kWindowWaitMs).size(), 1);
        QProcess* boot = launch({QStringLiteral("--bootstart")});
        QVERIFY(dismissNotice());
        QVERIFY(boot->waitForFinished(10000));
        QCOMPARE(boot->exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
