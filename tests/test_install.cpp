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
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QString sourceFile(const QString& relative)
{
    QFile file(TestSupport::fixturesDir() + QStringLiteral("/../../") + relative);
    return file.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromUtf8(file.readAll()) : QString();
}

// The lines of --help's `heading` section, up to the blank line that ends it.
QStringList helpSection(const QString& heading)
{
    const QStringList lines = CommandLine::usage().split(QLatin1Char('\n'));
    const int start = lines.indexOf(heading);
    QStringList section;
    for (int i = start + 1; start >= 0 && i < lines.size() && !lines.at(i).isEmpty(); ++i) {
        section << lines.at(i);
    }
    return section;
}

// The tag lines (the line after each .TP) of the man page's `heading` section, with \- as plain hyphens.
QStringList manTags(const QString& page, const QString& heading)
{
    const QStringList lines = page.split(QLatin1Char('\n'));
    QStringList tags;
    for (int i = lines.indexOf(QStringLiteral(".SH ") + heading) + 1; i > 0 && i + 1 < lines.size(); ++i) {
        if (lines.at(i).startsWith(QLatin1String(".SH"))) {
            break;
        }
        if (lines.at(i) == QLatin1String(".TP")) {
            tags << QString(lines.at(i + 1)).replace(QLatin1String("\\-"), QLatin1String("-"));
        }
    }
    return tags;
}

QSet<QString> matches(const QStringList& lines, const QString& pattern)
{
    QSet<QString> found;
    const QRegularExpression re(pattern);
    for (const QString& line : lines) {
        for (auto it = re.globalMatch(line); it.hasNext();) {
            found << it.next().captured(1);
        }
    }
    return found;
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

        QProcess appstream;
        appstream.setProcessChannelMode(QProcess::MergedChannels);
        appstream.start(QStringLiteral("appstreamcli"),
                        {QStringLiteral("validate"),
                         QStringLiteral("--no-net"),
                         mPrefix.filePath(QStringLiteral("share/metainfo/io.github.orvane.Orvane.metainfo.xml"))});
        QVERIFY(appstream.waitForFinished(30000));
        QVERIFY2(appstream.exitCode() == 0, appstream.readAll().constData());

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
    void versionsAgree_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("debian/changelog") << "debian/changelog"
                                          << "^orvane \\(([^-)]+)-";
        QTest::newRow("metainfo") << "packaging/linux/io.github.orvane.Orvane.metainfo.xml"
                                  << "<release version=\"([^\"]+)\"";
        QTest::newRow("man page") << "packaging/linux/orvane.1"
                                  << "\\n\\.TH ORVANE 1 \"[^\"]*\" \"Orvane ([^\"]+)\"";
    }

    void versionsAgree()
    {
        QFETCH(QString, file);
        QFETCH(QString, pattern);
        const QRegularExpressionMatch match = QRegularExpression(pattern).match(sourceFile(file));
        QVERIFY2(match.hasMatch(), qPrintable(file));
        QCOMPARE(match.captured(1), QStringLiteral(ORVANE_PROJECT_VERSION));
    }

    // The man page names the options and the environment that --help names, and every file it lists.
    void manPageMatchesHelp()
    {
        const QString page = sourceFile(QStringLiteral("packaging/linux/orvane.1"));
        QVERIFY(!page.isEmpty());
        const QSet<QString> options =
            matches(helpSection(QStringLiteral("Options:")), QStringLiteral(R"(^  (--[a-z-]+))"));
        QVERIFY(options.contains(QStringLiteral("--bootstart")));
        QCOMPARE(matches(manTags(page, QStringLiteral("OPTIONS")), QStringLiteral("(--[a-z-]+)")), options);

        QSet<QString> environment;
        const QString nameColumn = QStringLiteral(R"(^  ([A-Z][A-Z_]+(?:, [A-Z][A-Z_]+)*))");
        for (const QString& names : matches(helpSection(QStringLiteral("Environment:")), nameColumn)) {
            for (const QString& name : names.split(QStringLiteral(", "))) {
                environment << name;
            }
        }
        QVERIFY(environment.contains(QStringLiteral("WAYLAND_DISPLAY")));
        QCOMPARE(matches(manTags(page, QStringLiteral("ENVIRONMENT")), QStringLiteral("([A-Z][A-Z_]{2,})")),
                 environment);

        const QSet<QString> files =
            matches(helpSection(QStringLiteral("Files:")), QStringLiteral(R"(^  \S*/([^/\s]+))"));
        QVERIFY(files.contains(QStringLiteral("hardInfo.xml")));
        const QSet<QString> manFiles =
            matches(manTags(page, QStringLiteral("FILES")), QStringLiteral(R"(/([^/\s]+)$)"));
        QVERIFY2(manFiles.contains(files), qPrintable(QStringList(files.values()).join(QLatin1Char(' '))));
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
