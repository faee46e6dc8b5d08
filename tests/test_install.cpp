// `cmake --install` lays out a tree that runs: the installed program finds and starts its installed sensor server.
#include "displaydevice.h"
#include "sensorprotocol.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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
        QVERIFY(QFileInfo::exists(mPrefix.filePath(QStringLiteral("share/icons/hicolor/256x256/apps/orvane.png"))));
        QVERIFY(QFileInfo::exists(mPrefix.filePath(QStringLiteral("lib/udev/rules.d/70-orvane-display.rules"))));

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
