// SPDX-License-Identifier: GPL-3.0-or-later
// The Debian package as a user gets it: built by scripts/package (or ORVANE_PACKAGE_DEB), installed with apt, run
// from /usr/bin against the simulated display, and purged again without a trace. Needs root; an Orvane that this
// test did not install is left alone.
#include "devsimprocess.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {
const QString kProgram = QStringLiteral("/usr/bin/orvane");
const QString kServer = QStringLiteral("/usr/libexec/orvane/voviredo/VOViredo");

struct Run
{
    int code = -1;
    QString out;
};

Run run(const QString& program, const QStringList& args, int timeoutMs = 120000, const QString& errorLog = {})
{
    QProcess process;
    if (errorLog.isEmpty()) {
        process.setProcessChannelMode(QProcess::MergedChannels);
    } else {
        process.setStandardErrorFile(errorLog);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DEBIAN_FRONTEND"), QStringLiteral("noninteractive"));
    process.setProcessEnvironment(env);
    process.start(program, args);
    Run result;
    if (process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit) {
        result.code = process.exitCode();
    } else {
        process.kill();
        process.waitForFinished(5000);
    }
    result.out = QString::fromUtf8(process.readAll());
    return result;
}

bool installed()
{
    return run(QStringLiteral("dpkg-query"),
               {QStringLiteral("-W"), QStringLiteral("-f=${Status}"), QStringLiteral("orvane")})
        .out.contains(QLatin1String("install ok installed"));
}

Run apt(const QStringList& args)
{
    // Waits for another apt or dpkg run on the machine rather than failing.
    return run(QStringLiteral("apt-get"),
               QStringList {QStringLiteral("-y"), QStringLiteral("-o"), QStringLiteral("DPkg::Lock::Timeout=600")} +
                   args,
               900000);
}

qint64 parentOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("PPid:")) {
                return line.mid(5).trimmed().toLongLong();
            }
        }
    }
    return -1;
}
} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

    QTemporaryDir mWork;
    bool mInstalledHere = false;
    QStringList mFiles; // what dpkg says the package holds

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0) {
            QSKIP("installing a package needs root");
        }
        if (installed()) {
            QSKIP("Orvane is installed on this machine already, not by this test: left as it is");
        }
        QVERIFY(mWork.isValid());
    }

    void cleanupTestCase()
    {
        // A failed case must not leave the package behind.
        if (mInstalledHere && installed()) {
            apt({QStringLiteral("purge"), QStringLiteral("orvane")});
        }
    }

    void installsWithApt()
    {
        QString deb = qEnvironmentVariable("ORVANE_PACKAGE_DEB");
        if (deb.isEmpty()) {
            const QString script = TestSupport::fixturesDir() + QStringLiteral("/../../scripts/package");
            const QString log = mWork.filePath(QStringLiteral("package.log"));
            const Run built =
                run(QStringLiteral("bash"), {script, mWork.filePath(QStringLiteral("out"))}, 1200000, log);
            QFile logFile(log);
            logFile.open(QIODevice::ReadOnly);
            QVERIFY2(built.code == 0, logFile.readAll().right(6000).constData());
            deb = built.out.trimmed().split(QLatin1Char('\n')).last();
        }
        QVERIFY2(deb.endsWith(QLatin1String(".deb")) && QFileInfo::exists(deb), qPrintable(deb));
        QVERIFY(!deb.contains(QLatin1String("-dbgsym")));

        mInstalledHere = true;
        const Run install = apt({QStringLiteral("install"), QFileInfo(deb).absoluteFilePath()});
        QVERIFY2(install.code == 0, qPrintable(install.out));
        QVERIFY(installed());
        const Run version = run(QStringLiteral("dpkg-query"),
                                {QStringLiteral("-W"), QStringLiteral("-f=${Version}"), QStringLiteral("orvane")});
        QCOMPARE(version.out, QStringLiteral(ORVANE_PROJECT_VERSION "-1"));

        const Run list = run(QStringLiteral("dpkg"), {QStringLiteral("-L"), QStringLiteral("orvane")});
        QCOMPARE(list.code, 0);
        mFiles = list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    void filesWhereTheyBelong_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("command") << kProgram;
        QTest::newRow("program") << QStringLiteral("/usr/libexec/orvane/orvane");
        QTest::newRow("sensor server") << kServer;
        QTest::newRow("udev rule") << QStringLiteral("/lib/udev/rules.d/70-orvane-display.rules");
        QTest::newRow("launcher") << QStringLiteral("/usr/share/applications/orvane.desktop");
        QTest::newRow("metainfo") << QStringLiteral("/usr/share/metainfo/io.github.orvane.Orvane.metainfo.xml");
        QTest::newRow("man page") << QStringLiteral("/usr/share/man/man1/orvane.1.gz");
        QTest::newRow("copyright") << QStringLiteral("/usr/share/doc/orvane/copyright");
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            QTest::addRow("icon %d", size)
                << QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/orvane.png").arg(size);
        }
    }

    void filesWhereTheyBelong()
    {
        QFETCH(QString, path);
        QVERIFY2(mFiles.contains(path), qPrintable(mFiles.join(QLatin1Char('\n'))));
        QVERIFY(QFileInfo::exists(path));
    }

    void nothingElse()
    {
        QVERIFY(!mFiles.isEmpty());
        for (const QString& file : qAsConst(mFiles)) {
            // The simulator and the test tools stay in the build tree.
            QVERIFY2(!file.contains(QLatin1String("devsim")) && !file.contains(QLatin1String("hidapi_sim")) &&
                         !file.contains(QLatin1String("imagegen")),
                     qPrintable(file));
        }
        QCOMPARE(
            run(QStringLiteral("desktop-file-validate"), {QStringLiteral("/usr/share/applications/orvane.desktop")})
                .code,
            0);
        const Run appstream = run(QStringLiteral("appstreamcli"),
                                  {QStringLiteral("validate"),
                                   QStringLiteral("--no-net"),
                                   QStringLiteral("/usr/share/metainfo/io.github.orvane.Orvane.metainfo.xml")});
        QVERIFY2(appstream.code == 0, qPrintable(appstream.out));
    }

    // The maintainer scripts apply the udev rule at once where udev runs, never fail the install, and keep out of
    // the way where there is no udev. Each runs in a mount namespace of its own, with /run/udev there or not and a
    // udevadm stand-in that logs its calls.
    void maintainerScriptsApplyTheRule_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("udev");
        QTest::addColumn<int>("udevadmCode");
        QTest::addColumn<QString>("calls");
        const QString reload = QStringLiteral("control --reload-rules\n");
        const QString both = reload + QStringLiteral("trigger --subsystem-match=hidraw --action=add\n");
        QTest::newRow("install with udev") << "postinst"
                                           << "configure" << true << 0 << both;
        QTest::newRow("udevadm fails") << "postinst"
                                       << "configure" << true << 1 << both;
        QTest::newRow("container") << "postinst"
                                   << "configure" << false << 0 << QString();
        QTest::newRow("remove") << "postrm"
                                << "remove" << true << 0 << reload;
        QTest::newRow("remove in a container") << "postrm"
                                               << "remove" << false << 0 << QString();
    }

    void maintainerScriptsApplyTheRule()
    {
        QFETCH(QString, script);
        QFETCH(QString, action);
        QFETCH(bool, udev);
        QFETCH(int, udevadmCode);
        QFETCH(QString, calls);
        const QString installed = QStringLiteral("/var/lib/dpkg/info/orvane.%1").arg(script);
        QVERIFY(QFileInfo::exists(installed));
        QTemporaryDir stubs;
        QFile udevadm(stubs.filePath(QStringLiteral("udevadm")));
        QVERIFY(udevadm.open(QIODevice::WriteOnly));
        udevadm.write(QStringLiteral("#!/bin/sh\necho \"$*\" >> %1/calls\nexit %2\n")
                          .arg(stubs.path())
                          .arg(udevadmCode)
                          .toUtf8());
        udevadm.close();
        udevadm.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QProcess process;
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), stubs.path() + QStringLiteral(":/usr/sbin:/usr/bin:/sbin:/bin"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString setUp = udev ? QStringLiteral("mount -t tmpfs none /run && mkdir /run/udev && exec \"$@\"")
                                   : QStringLiteral("mount -t tmpfs none /run && exec \"$@\"");
        process.start(QStringLiteral("unshare"),
                      {QStringLiteral("-m"),
                       QStringLiteral("sh"),
                       QStringLiteral("-c"),
                       setUp,
                       QStringLiteral("sh"),
                       QStringLiteral("sh"),
                       installed,
                       action});
        QVERIFY(process.waitForFinished(30000));
        QVERIFY2(process.exitCode() == 0, process.readAll().constData());
        QFile log(stubs.filePath(QStringLiteral("calls")));
        QCOMPARE(log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString(), calls);
    }

    void versionFromUsrBin()
    {
        QVERIFY(QFileInfo(kProgram).isSymLink());
        const Run version = run(kProgram, {QStringLiteral("--version")}, 20000);
        QCOMPARE(version.code, 0);
        QCOMPARE(version.out, QStringLiteral("Orvane " ORVANE_PROJECT_VERSION "\n"));
    }

    // The installed program starts the installed sensor server and feeds the display; SIGTERM ends both.
    void feedsTheSimulatedDisplay()
    {
        QTemporaryDir folder(QStringLiteral("/tmp/orvane-pkg-XXXXXX")); // socket paths have room for ~100 bytes
        QDir(folder.path()).mkpath(QStringLiteral("config"));
        const QString runtime = folder.filePath(QStringLiteral("rt"));
        QDir(folder.path()).mkpath(QStringLiteral("rt"));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        DevsimProcess sim;
        QVERIFY(sim.start(folder.filePath(QStringLiteral("sim.sock")), {QStringLiteral("--json")}));

        QProcess orvane;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("LD_PRELOAD"), TestSupport::binaryDir() + QStringLiteral("/devsim/libhidapi_sim.so"));
        env.insert(QStringLiteral("ORVANE_DEVSIM_SOCKET"), sim.socketPath());
        orvane.setProcessEnvironment(env);
        orvane.setWorkingDirectory(folder.path());
        orvane.setProcessChannelMode(QProcess::ForwardedChannels);
        orvane.start(kProgram, QStringList());
        QVERIFY(orvane.waitForStarted(10000));

        QVERIFY(sim.waitForEvent([](const DevsimEvent& e) { return e.isValue(); }, 30000) >= 0);
        QList<qint64> servers = TestSupport::processesOf(kServer);
        QCOMPARE(servers.size(), 1);
        QCOMPARE(parentOf(servers.first()), orvane.processId());

        orvane.terminate();
        QVERIFY(orvane.waitForFinished(40000));
        QCOMPARE(orvane.exitStatus(), QProcess::NormalExit);
        QCOMPARE(orvane.exitCode(), 0);
        QVERIFY(QTest::qWaitFor([&]() { return TestSupport::processesOf(kServer).isEmpty(); }, 10000));
    }

    void purgeLeavesNothing()
    {
        QVERIFY(!mFiles.isEmpty());
        const Run purge = apt({QStringLiteral("purge"), QStringLiteral("orvane")});
        QVERIFY2(purge.code == 0, qPrintable(purge.out));
        QVERIFY(!installed());
        QVERIFY(run(QStringLiteral("dpkg"), {QStringLiteral("-L"), QStringLiteral("orvane")}).code != 0);
        for (const QString& file : qAsConst(mFiles)) {
            // Shared folders (/usr/bin, /usr/share/icons/...) stay; what is the package's own goes.
            const bool shared = QFileInfo(file).isDir() && !file.contains(QLatin1String("orvane"));
            QVERIFY2(shared || !QFileInfo::exists(file), qPrintable(file));
        }
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
