// SPDX-License-Identifier: GPL-3.0-or-later
// The Debian package as a user gets it: built by scripts/package (or ORVANE_PACKAGE_DEB), installed with apt, run
// from /usr/bin against the simulated display, purged again without a trace. Needs root; an Orvane that this test
// did not install is left alone.
#include "devsimprocess.h"
#include "testsupport.h"

#include <QtTest>
#include <unistd.h>

namespace {
const QString kServer = QStringLiteral("/usr/libexec/orvane/voviredo/VOViredo");
const QString kHeadless = QStringLiteral("/usr/libexec/orvane/orvane-headless");

// Runs a command to its end: its exit code (-1 when it did not end) and its merged output.
QPair<int, QString> run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    const bool ended = process.waitForFinished(1200000);
    return {ended ? process.exitCode() : -1, QString::fromUtf8(process.readAll())};
}

bool installed()
{
    return run("dpkg-query", {"-W", "-f=${Status}", "orvane"}).second == QLatin1String("install ok installed");
}

// Waits for another apt or dpkg run on the machine rather than failing.
QPair<int, QString> apt(const QString& verb, const QString& what)
{
    return run("apt-get", {"-y", "-o", "DPkg::Lock::Timeout=600", verb, what});
}
} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

    QTemporaryDir mWork {QStringLiteral("/tmp/orvane-pkg-XXXXXX")}; // socket paths have room for ~100 bytes
    bool mInstalledHere = false;
    QString mDeb;
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
    }

    void cleanupTestCase()
    {
        if (mInstalledHere && installed()) {
            apt("purge", "orvane");
        }
    }

    void installsWithApt()
    {
        QString deb = qEnvironmentVariable("ORVANE_PACKAGE_DEB");
        if (deb.isEmpty()) {
            const auto built =
                run("bash", {TestSupport::fixturesDir() + "/../../scripts/package", mWork.filePath("out")});
            QVERIFY2(built.first == 0, qPrintable(built.second.right(6000)));
            deb = built.second.trimmed().split('\n').last();
        }
        QVERIFY2(deb.endsWith(".deb") && !deb.contains("dbgsym"), qPrintable(deb));
        mDeb = QFileInfo(deb).absoluteFilePath();
        mInstalledHere = true;
        const auto install = apt("install", QFileInfo(deb).absoluteFilePath());
        QVERIFY2(install.first == 0, qPrintable(install.second));

        mFiles = run("dpkg", {"-L", "orvane"}).second.split('\n', Qt::SkipEmptyParts);
        QStringList expected = QStringLiteral("/usr/bin/orvane /usr/libexec/orvane/orvane %1 %2 "
                                              "/lib/udev/rules.d/70-orvane-display.rules "
                                              "/usr/share/applications/orvane.desktop "
                                              "/usr/share/metainfo/io.github.orvane.Orvane.metainfo.xml "
                                              "/usr/share/man/man1/orvane.1.gz /usr/share/doc/orvane/copyright "
                                              "/lib/systemd/system/orvane.service /usr/lib/sysusers.d/orvane.conf "
                                              "/etc/orvane/sysconf.ini /etc/orvane/sensors.ini")
                                   .arg(kServer, kHeadless)
                                   .split(' ');
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            expected << QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/orvane.png").arg(size);
        }
        for (const QString& path : expected) {
            QVERIFY2(mFiles.contains(path) && QFileInfo::exists(path), qPrintable(path));
        }
        // The simulator and the image generator stay in the build tree.
        QVERIFY(mFiles.filter(QRegularExpression("devsim|hidapi_sim|imagegen")).isEmpty());
        // The service's user is there; the service is neither enabled nor running.
        QCOMPARE(run("getent", {"passwd", "orvane"}).first, 0);
        QCOMPARE(run("systemctl", {"is-enabled", "orvane.service"}).second.trimmed(), QStringLiteral("disabled"));
        QVERIFY(!QFileInfo::exists("/etc/systemd/system/multi-user.target.wants/orvane.service"));
        QCOMPARE(run("pgrep", {"-u", "orvane"}).first, 1);
    }

    // The service's program, as the unit runs it: its user with no privileges and no capabilities, a read-only
    // root and a runtime folder of its own, reaching the simulated display through the orvane group alone.
    void serviceUserFeedsTheDisplay()
    {
        QVERIFY(QFile::setPermissions(mWork.path(), QFileDevice::Permissions(0x7755)));
        const QString preload = mWork.filePath("libhidapi_sim.so");
        QVERIFY(QFile::copy(TestSupport::binaryDir() + "/devsim/libhidapi_sim.so", preload));
        QVERIFY(QFile::setPermissions(preload, QFileDevice::Permissions(0x7755)));
        DevsimProcess sim;
        QVERIFY(sim.start(mWork.filePath("service-sim.sock"), {"--json", "--socket-group", "orvane"}));
        const QString script = QStringLiteral(
            "set -e; mount -t tmpfs -o mode=0755 none %1/root; mkdir -m 0700 %1/root/run; "
            "chown orvane:orvane %1/root/run; mount -o remount,bind,ro /; "
            "exec setpriv --reuid=orvane --regid=orvane --init-groups --no-new-privs --inh-caps=-all "
            "--bounding-set=-all -- env -i PATH=/usr/bin:/bin RUNTIME_DIRECTORY=%1/root/run XDG_CONFIG_HOME=/etc "
            "LD_PRELOAD=%2 ORVANE_DEVSIM_SOCKET=%3 %4");
        QVERIFY(QDir().mkpath(mWork.filePath("root")));
        QProcess service;
        service.setProcessChannelMode(QProcess::ForwardedChannels);
        service.start("unshare",
                      {"--mount",
                       "--propagation",
                       "private",
                       "sh",
                       "-c",
                       script.arg(mWork.path(), preload, sim.socketPath(), kHeadless)});
        const int first = sim.waitForEvent([](const DevsimEvent& e) { return e.isValue(); }, 20000);
        QVERIFY2(first >= 0, qPrintable(sim.lastError()));
        QVERIFY(sim.waitForEvent([](const DevsimEvent& e) { return e.isValue(); }, 5000, first + 1) > first);
        QCOMPARE(TestSupport::processesOf(kServer).size(), 1);
        // The service's program has no GUI library in it.
        const QList<qint64> headless = TestSupport::processesOf(kHeadless);
        QCOMPARE(headless.size(), 1);
        QFile maps(QStringLiteral("/proc/%1/maps").arg(headless.first()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QString mapped = QString::fromLatin1(maps.readAll());
        QVERIFY(mapped.contains(QStringLiteral("libQt5Core")));
        QVERIFY2(!mapped.contains(QRegularExpression(QStringLiteral("libQt5Gui|libQt5Widgets|libGL|libX11|libxcb"))),
                 qPrintable(mapped));
        service.terminate();
        QVERIFY(service.waitForFinished(10000) && service.exitStatus() == QProcess::NormalExit);
        QCOMPARE(service.exitCode(), 0);
        QVERIFY(QTest::qWaitFor([&]() { return TestSupport::processesOf(kServer).isEmpty(); }, 5000));
    }

    // The installed program starts the installed sensor server and feeds the display; SIGTERM ends both.
    void runsFromUsrBin()
    {
        QCOMPARE(run("/usr/bin/orvane", {"--version"}),
                 qMakePair(0, QStringLiteral("Orvane " ORVANE_PROJECT_VERSION "\n")));
        DevsimProcess sim;
        QVERIFY(sim.start(mWork.filePath("sim.sock"), {"--json"}));
        QProcess orvane;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", mWork.path()); // the user's own, as a session's is
        env.insert("LD_PRELOAD", TestSupport::binaryDir() + "/devsim/libhidapi_sim.so");
        env.insert("ORVANE_DEVSIM_SOCKET", sim.socketPath());
        orvane.setProcessEnvironment(env);
        orvane.start("/usr/bin/orvane", QStringList());
        QVERIFY(sim.waitForEvent([](const DevsimEvent& e) { return e.isValue(); }, 30000) >= 0);
        QCOMPARE(TestSupport::processesOf(kServer).size(), 1);
        orvane.terminate();
        QVERIFY(orvane.waitForFinished(40000) && orvane.exitStatus() == QProcess::NormalExit);
        QCOMPARE(orvane.exitCode(), 0);
        QVERIFY(QTest::qWaitFor([&]() { return TestSupport::processesOf(kServer).isEmpty(); }, 10000));
    }

    // Where udev runs, postinst applies the rule at once, and a failing udevadm does not fail the install; where it
    // does not, postinst does nothing. Each run has a mount namespace of its own, with /run/udev or without, and a
    // udevadm stand-in that logs its calls and fails.
    void postinstAppliesTheRule()
    {
        QFile udevadm(mWork.filePath("udevadm"));
        QVERIFY(udevadm.open(QIODevice::WriteOnly));
        udevadm.write(QStringLiteral("#!/bin/sh\necho \"$*\" >> %1/calls\nexit 1\n").arg(mWork.path()).toUtf8());
        udevadm.close();
        udevadm.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        for (const bool udev : {true, false}) {
            QFile::remove(mWork.filePath("calls"));
            const QString script = QStringLiteral("PATH=%1:$PATH; mount -t tmpfs none /run && %2 exec "
                                                  "/var/lib/dpkg/info/orvane.postinst configure")
                                       .arg(mWork.path(), udev ? "mkdir /run/udev &&" : "");
            QCOMPARE(run("unshare", {"-m", "sh", "-c", script}).first, 0);
            QFile calls(mWork.filePath("calls"));
            QCOMPARE(calls.open(QIODevice::ReadOnly) ? calls.readAll() : QByteArray(),
                     udev ? QByteArray("control --reload-rules\ntrigger --subsystem-match=hidraw --action=add\n"
                                       "trigger --subsystem-match=usb --attr-match=idVendor=0416 "
                                       "--attr-match=idProduct=1100 --action=add\n")
                          : QByteArray());
        }
    }

    void purgeLeavesNothing()
    {
        QVERIFY(!mFiles.isEmpty());
        const auto purge = apt("purge", "orvane");
        QVERIFY2(purge.first == 0, qPrintable(purge.second));
        QVERIFY(!installed());
        for (const QString& file : qAsConst(mFiles)) {
            // Shared folders (/usr/bin, /usr/share/icons/hicolor/16x16, ...) stay; what is the package's own goes.
            const bool gone = !QFileInfo::exists(file) && !QFileInfo(file).isSymLink();
            QVERIFY2(gone || (QFileInfo(file).isDir() && !file.contains("orvane")), qPrintable(file));
        }
        // Debian keeps system users on purge.
        QCOMPARE(run("getent", {"passwd", "orvane"}).first, 0);
    }

    // The package's own tests (debian/tests) against the installed package, as autopkgtest runs them on this machine
    // (its null runner installs the package here); purged again afterwards.
    void autopkgtestPasses()
    {
        QVERIFY(!mDeb.isEmpty());
        // The tests need debian/ alone; autopkgtest copies the tree it is given, and the build is inside this one.
        const QString tree = mWork.filePath("tree");
        QVERIFY(QDir().mkpath(tree));
        QCOMPARE(run("cp", {"-a", TestSupport::fixturesDir() + "/../../debian", tree}).first, 0);
        const auto tested = run("autopkgtest", {mDeb, tree, "--", "null"});
        const bool wasInstalled = installed();
        if (wasInstalled) {
            apt("purge", "orvane");
        }
        if (tested.first != 0) {
            // Longer than a failure message may be.
            qWarning().noquote() << tested.second.right(6000);
        }
        QVERIFY(tested.first == 0);
        QVERIFY(wasInstalled);
        QVERIFY(!installed());
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
