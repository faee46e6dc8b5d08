// SPDX-License-Identifier: GPL-3.0-or-later
// `cmake --install` lays out a tree that runs: the installed program finds and starts its installed sensor server.
#include "commandline.h"
#include "displaydevice.h"
#include "sensorprotocol.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QString sourceFile(const QString& relative)
{
    QFile file(TestSupport::fixturesDir() + QStringLiteral("/../../") + relative);
    return file.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir mPrefix;

private slots:
    void installedTreeRuns()
    {
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(
            QStringLiteral(ORVANE_CMAKE_COMMAND),
            {QStringLiteral("--install"), TestSupport::binaryDir(), QStringLiteral("--prefix"), mPrefix.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());

        const QString program = mPrefix.filePath(QStringLiteral("bin/orvane"));
        const QString server = mPrefix.filePath(QStringLiteral("libexec/orvane/voviredo/VOViredo"));
        QVERIFY(QFileInfo(program).isSymLink());
        QVERIFY(QFileInfo(program).isExecutable());
        QVERIFY(QFileInfo(server).isExecutable());
        QVERIFY(QFileInfo::exists(mPrefix.filePath(QStringLiteral("share/applications/orvane.desktop"))));
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString icon = QStringLiteral("share/icons/hicolor/%1x%1/apps/orvane.png").arg(size);
            QCOMPARE(QImageReader(mPrefix.filePath(icon)).size(), QSize(size, size));
        }
        QVERIFY(QFileInfo::exists(mPrefix.filePath(QStringLiteral("lib/udev/rules.d/70-orvane-display.rules"))));
        QVERIFY(QFileInfo::exists(mPrefix.filePath(QStringLiteral("share/man/man1/orvane.1"))));

        const QString metainfo = QStringLiteral("share/metainfo/io.github.orvane.Orvane.metainfo.xml");
        QCOMPARE(
            QProcess::execute(QStringLiteral("appstreamcli"), {"validate", "--no-net", mPrefix.filePath(metainfo)}), 0);

        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"),
                       {mPrefix.filePath(QStringLiteral("share/applications/orvane.desktop"))});
        QVERIFY(validate.waitForFinished(30000));
        QCOMPARE(validate.exitCode(), 0);

        // Started through the link on the PATH, as a desktop would start it.
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QTemporaryDir keys;
        QProcess orvane;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("TMPDIR"), keys.path());
        orvane.setProcessEnvironment(env);
        orvane.setWorkingDirectory(keys.path());
        orvane.setProcessChannelMode(QProcess::ForwardedChannels);
        orvane.start(program, QStringList());
        QVERIFY(orvane.waitForStarted(10000));

        // The program starts its server 2 s after it is up; the server then listens in the runtime folder.
        const QString socket = runtime.filePath(QLatin1String(SensorProtocol::kServerName));
        QVERIFY(QTest::qWaitFor([&]() { return QFileInfo::exists(socket); }, 20000));
        const QList<qint64> servers = TestSupport::processesOf(server);
        QCOMPARE(servers.size(), 1);
        QLocalSocket probe;
        probe.connectToServer(socket);
        QVERIFY(probe.waitForConnected(5000));
        probe.write(SensorProtocol::kReadRequest);
        QVERIFY(probe.waitForBytesWritten(5000));
        QByteArray document;
        while (probe.waitForReadyRead(5000)) {
            document += probe.readAll();
        }
        document += probe.readAll();
        QVERIFY(document.contains("<Computer"));

        // The session's end request takes the exit path, which also ends the server.
        orvane.terminate();
        QVERIFY(orvane.waitForFinished(40000));
        QCOMPARE(orvane.exitCode(), 0);
        QVERIFY(QTest::qWaitFor([&]() { return TestSupport::processesOf(server).isEmpty(); }, 10000));
    }

    // The package, the metadata and the man page carry the version CMake gives the program.
    void versionsAgree()
    {
        const QList<QPair<QString, QString>> places = {
            {"debian/changelog", "^orvane \\(([^-)]+)-"},
            {"packaging/linux/io.github.orvane.Orvane.metainfo.xml", "<release version=\"([^\"]+)\""},
            {"packaging/linux/orvane.1", "\\n\\.TH ORVANE 1 \"[^\"]*\" \"Orvane ([^\"]+)\""}};
        for (const auto& place : places) {
            const QString found = QRegularExpression(place.second).match(sourceFile(place.first)).captured(1);
            QVERIFY2(found == QLatin1String(ORVANE_PROJECT_VERSION), qPrintable(place.first + ": " + found));
        }
    }

    // Every option, variable and file that --help names (at the start of its lines) is in the man page too.
    void manPageNamesWhatHelpNames()
    {
        const QString page = sourceFile(QStringLiteral("packaging/linux/orvane.1")).replace("\\-", "-");
        const QRegularExpression named(QStringLiteral("^  (?:\\S*/)?([-\\w.]+)(?:, (\\w+))?"),
                                       QRegularExpression::MultilineOption);
        QStringList names;
        for (auto it = named.globalMatch(CommandLine::usage()); it.hasNext();) {
            names << it.peekNext().captured(1) << it.next().captured(2);
        }
        names.removeAll(QString());
        QVERIFY2(names.size() >= 3 + 8 + 6, // options, variables and files it names today
                 qPrintable(names.join(QLatin1Char(' '))));
        for (const QString& name : qAsConst(names)) {
            QVERIFY2(page.contains(name), qPrintable(name));
        }
    }

    // The scripts and the udev rule name the device and the sensor server as the programs do.
    void scriptsAgreeWithPrograms()
    {
        const QDir source(TestSupport::fixturesDir() + QStringLiteral("/../.."));
        QFile file(source.filePath(QStringLiteral("scripts/contract.sh")));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QMap<QString, QString> values;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            const int equals = line.indexOf(QLatin1Char('='));
            if (!line.startsWith(QLatin1Char('#')) && equals > 0) {
                values.insert(line.left(equals), line.mid(equals + 1));
            }
        }
        const QString vendor = QStringLiteral("%1").arg(DisplayDevice::kVendorId, 4, 16, QLatin1Char('0'));
        const QString product = QStringLiteral("%1").arg(DisplayDevice::kProductId, 4, 16, QLatin1Char('0'));
        QCOMPARE(values.value(QStringLiteral("ORVANE_VENDOR_ID")), vendor);
        QCOMPARE(values.value(QStringLiteral("ORVANE_PRODUCT_ID")), product);
        QCOMPARE(values.value(QStringLiteral("ORVANE_SENSOR_SERVER_NAME")), QLatin1String(SensorProtocol::kServerName));
        QCOMPARE(values.value(QStringLiteral("ORVANE_READ_REQUEST")), QLatin1String(SensorProtocol::kReadRequest));
        QCOMPARE(values.value(QStringLiteral("ORVANE_STOP_REQUEST")), QLatin1String(SensorProtocol::kStopRequest));

        QFile rule(source.filePath(QStringLiteral("packaging/linux/70-orvane-display.rules")));
        QVERIFY(rule.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString rules = QString::fromUtf8(rule.readAll());
        QVERIFY(rules.contains(QStringLiteral("ATTRS{idVendor}==\"%1\"").arg(vendor)));
        QVERIFY(rules.contains(QStringLiteral("ATTRS{idProduct}==\"%1\"").arg(product)));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
