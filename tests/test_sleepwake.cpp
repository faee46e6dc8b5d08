// Sleep and wake on Linux: a private system bus with a logind stand-in that emits PrepareForSleep, and a real main
// window whose session reacts to it (suspend runs the handshake, resume the disconnect).
#include "dashboardstyles.h"
#include "devicemodel.h"
#include "hidapi_sim.h"
#include "mainwidgetinspector.h"
#include "platform/sleepwatcher.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

QStringList gMessages;
QtMessageHandler gPreviousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    gMessages << text;
    gPreviousHandler(type, context, text);
}

bool prepareForSleep(QDBusConnection& bus, bool start)
{
    QDBusMessage signal = QDBusMessage::createSignal(kLogindPath, kManager, QStringLiteral("PrepareForSleep"));
    signal << start;
    return bus.send(signal);
}

ST_HWINFO_DATA sensorReading()
{
    ST_HWINFO_DATA data;
    data.cputmp = 45;
    data.cpuload = 12;
    data.cpufan = 1500;
    return data;
}
} // namespace

class TestSleepWake : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void quietWithoutSystemBus();
    void suspendAndResume();
    void impostorIsIgnored();

private:
    bool startBus();

    QTemporaryDir mDir;
    QProcess mBus;
    QString mAddress;
};

bool TestSleepWake::startBus()
{
    const QString config = mDir.filePath(QStringLiteral("system.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                              "<busconfig>\n"
                              "  <type>system</type>\n"
                              "  <listen>unix:dir=%1</listen>\n"
                              "  <auth>EXTERNAL</auth>\n"
                              "  <policy context=\"default\">\n"
                              "    <allow user=\"*\"/>\n"
                              "    <allow own=\"*\"/>\n"
                              "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                              "    <allow eavesdrop=\"true\"/>\n"
                              "  </policy>\n"
                              "</busconfig>\n")
                   .arg(mDir.path())
                   .toUtf8());
    file.close();
    mBus.start(
        QStringLiteral("dbus-daemon"),
        {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!mBus.waitForStarted()) {
        return false;
    }
    while (!mBus.canReadLine()) {
        if (!mBus.waitForReadyRead(5000)) {
            return false;
        }
    }
    mAddress = QString::fromUtf8(mBus.readLine()).trimmed();
    return !mAddress.isEmpty();
}

void TestSleepWake::initTestCase()
{
    if (qEnvironmentVariableIsSet("ORVANE_SLEEPWAKE_NO_BUS")) {
        return;
    }
    QVERIFY(mDir.isValid());
    QVERIFY2(startBus(), qPrintable(mBus.readAllStandardError()));
    // Before anything connects to the system bus: the address is taken once per process.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", mAddress.toUtf8());
    gPreviousHandler = qInstallMessageHandler(recordMessage);
}

void TestSleepWake::cleanupTestCase()
{
    if (gPreviousHandler) {
        qInstallMessageHandler(gPreviousHandler);
    }
    mBus.terminate();
    mBus.waitForFinished();
}

void TestSleepWake::quietWithoutSystemBus()
{
    if (qEnvironmentVariableIsSet("ORVANE_SLEEPWAKE_NO_BUS")) {
        // In the child: no bus at that address.
        QStringList messages;
        gPreviousHandler = qInstallMessageHandler(recordMessage);
        SleepWatcher* watcher = SleepWatcher::create(nullptr);
        qInstallMessageHandler(gPreviousHandler);
        gPreviousHandler = nullptr;
        QVERIFY(watcher == nullptr);
        QCOMPARE(gMessages, QStringList());
        MainWidget w;
        QVERIFY(w.findChild<SleepWatcher*>() == nullptr);
        return;
    }
    // The system bus connection is made once per process, so the case without one runs in a process of its own.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVANE_SLEEPWAKE_NO_BUS"), QStringLiteral("1"));
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
               QStringLiteral("unix:path=") + mDir.filePath(QStringLiteral("nobody-listens")));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("quietWithoutSystemBus")});
    QVERIFY(child.waitForFinished(60000));
    QVERIFY2(child.exitCode() == 0, child.readAll().constData());
}

void TestSleepWake::suspendAndResume()
{
    QDBusConnection logind = QDBusConnection::connectToBus(mAddress, QStringLiteral("logind-standin"));
    QVERIFY(logind.isConnected());
    QVERIFY(logind.registerService(kLogind));

    devsim::DeviceModel model;
    devsim::installModel(&model);
    MainWidget w;
    MainWidgetInspector::sysTimer(w)->stop();
    QVERIFY(w.findChild<SleepWatcher*>() != nullptr);
    QVERIFY(MainWidgetInspector::isUsbConnect(w));
    QLabel* linkState = MainWidgetInspector::ui(w)->main_img_linkstate;

    // Going to sleep runs the handshake again, without keeping the session's earlier handle.
    gMessages.clear();
    model.setSeed(0x3C);
    QVERIFY(prepareForSleep(logind, true));
    QTRY_VERIFY(gMessages.contains(QStringLiteral("Computer is going to sleep.")));
    QVERIFY(!gMessages.contains(QStringLiteral("Computer wakes up from sleep")));
    QVERIFY(MainWidgetInspector::isUsbConnect(w));
    QCOMPARE(int(MainWidgetInspector::seedValue(w)), 0x3C);
    QCOMPARE(model.handleStats().opens, 2);
    QCOMPARE(model.handleStats().live, 1);

    // Waking up closes the device; the label keeps the linked picture until the next handshake.
    gMessages.clear();
    QVERIFY(prepareForSleep(logind, false));
    QTRY_VERIFY(gMessages.contains(QStringLiteral("Computer wakes up from sleep")));
    QVERIFY(!MainWidgetInspector::isUsbConnect(w));
    QCOMPARE(model.handleStats().live, 0);
    QCOMPARE(linkState->styleSheet(), kLinkStateLinked);

    // The next reading opens a new session.
    MainWidgetInspector::tick(w, 120);
    model.setSeed(0x99);
    QVERIFY(
        QMetaObject::invokeMethod(&w, "slot_hwReadData", Qt::DirectConnection, Q_ARG(ST_HWINFO_DATA, sensorReading())));
    QVERIFY(MainWidgetInspector::isUsbConnect(w));
    QCOMPARE(int(MainWidgetInspector::seedValue(w)), 0x99);

    QVERIFY(QMetaObject::invokeMethod(&w, "onUsbDisConnect", Qt::DirectConnection));
    devsim::installModel(nullptr);
    logind.unregisterService(kLogind);
    QDBusConnection::disconnectFromBus(QStringLiteral("logind-standin"));
}

void TestSleepWake::impostorIsIgnored()
{
    QDBusConnection logind = QDBusConnection::connectToBus(mAddress, QStringLiteral("logind-standin-2"));
    QVERIFY(logind.registerService(kLogind));
    QDBusConnection impostor = QDBusConnection::connectToBus(mAddress, QStringLiteral("impostor"));
    QVERIFY(impostor.isConnected());

    devsim::DeviceModel model;
    devsim::installModel(&model);
    MainWidget w;
    MainWidgetInspector::sysTimer(w)->stop();
    QVERIFY(MainWidgetInspector::isUsbConnect(w));

    // Only logind's own signal counts: anyone on the bus could send one with the same name.
    gMessages.clear();
    QVERIFY(prepareForSleep(impostor, false));
    // A call on the same connection returns only after the bus has passed the impostor's signal on, so the real
    // one behind it arrives later.
    QVERIFY(impostor.interface()->isServiceRegistered(kLogind).value());
    QVERIFY(prepareForSleep(logind, true));
    QTRY_VERIFY(gMessages.contains(QStringLiteral("Computer is going to sleep.")));
    QVERIFY(!gMessages.contains(QStringLiteral("Computer wakes up from sleep")));
    QVERIFY(MainWidgetInspector::isUsbConnect(w));

    QVERIFY(QMetaObject::invokeMethod(&w, "onUsbDisConnect", Qt::DirectConnection));
    devsim::installModel(nullptr);
    QDBusConnection::disconnectFromBus(QStringLiteral("impostor"));
    QDBusConnection::disconnectFromBus(QStringLiteral("logind-standin-2"));
}

QTEST_MAIN(TestSleepWake)
#include "test_sleepwake.moc"
