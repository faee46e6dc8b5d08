// SPDX-License-Identifier: GPL-3.0-or-later
// Sleep and wake on Linux: a private system bus with a logind stand-in that emits PrepareForSleep, and a real main
// window whose session reacts to it (suspend runs the handshake, resume the disconnect).
#include "dashboardstyles.h"
#include "devicemodel.h"
#include "hidapi_sim.h"
#include "logindstandin.h"
#include "mainwidgetprobe.h"
#include "sleepwatcher.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kLogind = QStringLiteral("org.freedesktop.login1");

QStringList gMessages;
QtMessageHandler gPreviousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    gMessages << text;
    gPreviousHandler(type, context, text);
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
    void saysOnceWithoutSystemBus();
    void suspendAndResume();
    void impostorIsIgnored();

private:
    QTemporaryDir mDir;
    LogindStandIn mLogind;
};

void TestSleepWake::initTestCase()
{
    if (qEnvironmentVariableIsSet("ORVANE_SLEEPWAKE_NO_BUS")) {
        return;
    }
    QVERIFY(mDir.isValid());
    QVERIFY2(mLogind.startBus(), qPrintable(mLogind.errorOutput()));
    // Before anything connects to the system bus: the address is taken once per process.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", mLogind.address().toUtf8());
    // The sleep and wake-up lines are debug lines.
    QLoggingCategory::setFilterRules(QStringLiteral("orvane.device.debug=true"));
    gPreviousHandler = qInstallMessageHandler(recordMessage);
}

void TestSleepWake::cleanupTestCase()
{
    if (gPreviousHandler) {
        qInstallMessageHandler(gPreviousHandler);
    }
}

void TestSleepWake::saysOnceWithoutSystemBus()
{
    if (qEnvironmentVariableIsSet("ORVANE_SLEEPWAKE_NO_BUS")) {
        // In the child: no bus at that address.
        QStringList messages;
        gPreviousHandler = qInstallMessageHandler(recordMessage);
        SleepWatcher* watcher = SleepWatcher::create(nullptr);
        qInstallMessageHandler(gPreviousHandler);
        gPreviousHandler = nullptr;
        QVERIFY(watcher == nullptr);
        // One line says why sleep goes unnoticed; nothing else.
        QCOMPARE(gMessages.size(), 1);
        QVERIFY2(gMessages.first().startsWith(QLatin1String("no system bus")), qPrintable(gMessages.first()));
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
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("saysOnceWithoutSystemBus")});
    QVERIFY(child.waitForFinished(60000));
    QVERIFY2(child.exitCode() == 0, child.readAll().constData());
}

void TestSleepWake::suspendAndResume()
{
    QVERIFY(mLogind.claimName());

    devsim::DeviceModel model;
    devsim::installModel(&model);
    MainWidget w(MainWidgetProbe::feedByHand());
    MainWidgetProbe::sysTimer(w)->stop();
    QVERIFY(w.findChild<SleepWatcher*>() != nullptr);
    QVERIFY(MainWidgetProbe::isUsbConnect(w));
    QLabel* linkState = MainWidgetProbe::ui(w)->main_img_linkstate;

    // Going to sleep runs the handshake again, without keeping the session's earlier handle.
    gMessages.clear();
    model.setSeed(0x3C);
    QVERIFY(mLogind.prepareForSleep(true));
    QTRY_VERIFY(gMessages.contains(QStringLiteral("Computer is going to sleep.")));
    QVERIFY(!gMessages.contains(QStringLiteral("Computer wakes up from sleep")));
    QVERIFY(MainWidgetProbe::isUsbConnect(w));
    QCOMPARE(int(MainWidgetProbe::seedValue(w)), 0x3C);
    QCOMPARE(model.handleStats().opens, 2);
    QCOMPARE(model.handleStats().live, 1);

    // Waking up closes the device; the label keeps the linked picture until the next handshake.
    gMessages.clear();
    QVERIFY(mLogind.prepareForSleep(false));
    QTRY_VERIFY(gMessages.contains(QStringLiteral("Computer wakes up from sleep")));
    QVERIFY(!MainWidgetProbe::isUsbConnect(w));
    QCOMPARE(model.handleStats().live, 0);
    QCOMPARE(linkState->styleSheet(), kLinkStateLinked);

    // The next reading opens a new session.
    MainWidgetProbe::tick(w, 120);
    model.setSeed(0x99);
    // By name: the window's slots are private, and a reading reaches them as the meta-object delivers it.
    QVERIFY(
        QMetaObject::invokeMethod(&w, "slot_hwReadData", Qt::DirectConnection, Q_ARG(ST_HWINFO_DATA, sensorReading())));
    QVERIFY(MainWidgetProbe::isUsbConnect(w));
    QCOMPARE(int(MainWidgetProbe::seedValue(w)), 0x99);

    QVERIFY(QMetaObject::invokeMethod(&w, "onUsbDisConnect", Qt::DirectConnection));
    devsim::installModel(nullptr);
    mLogind.releaseName();
}

void TestSleepWake::impostorIsIgnored()
{
    QVERIFY(mLogind.claimName(QStringLiteral("logind-standin-2")));
    QDBusConnection impostor = QDBusConnection::connectToBus(mLogind.address(), QStringLiteral("impostor"));
    QVERIFY(impostor.isConnected());

    devsim::DeviceModel model;
    devsim::installModel(&model);
    MainWidget w(MainWidgetProbe::feedByHand());
    MainWidgetProbe::sysTimer(w)->stop();
    QVERIFY(MainWidgetProbe::isUsbConnect(w));

    // Only logind's own signal counts: anyone on the bus could send one with the same name.
    gMessages.clear();
    QVERIFY(LogindStandIn::prepareForSleep(impostor, false));
    // A call on the same connection returns only after the bus has passed the impostor's signal on, so the real
    // one behind it arrives later.
    QVERIFY(impostor.interface()->isServiceRegistered(kLogind).value());
    QVERIFY(mLogind.prepareForSleep(true));
    QTRY_VERIFY(gMessages.contains(QStringLiteral("Computer is going to sleep.")));
    QVERIFY(!gMessages.contains(QStringLiteral("Computer wakes up from sleep")));
    QVERIFY(MainWidgetProbe::isUsbConnect(w));

    QVERIFY(QMetaObject::invokeMethod(&w, "onUsbDisConnect", Qt::DirectConnection));
    devsim::installModel(nullptr);
    QDBusConnection::disconnectFromBus(QStringLiteral("impostor"));
    mLogind.releaseName();
}

QTEST_MAIN(TestSleepWake)
#include "test_sleepwake.moc"
