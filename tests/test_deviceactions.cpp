// SPDX-License-Identifier: GPL-3.0-or-later
// "Device Version" and "Device Upgrade" against the simulated display.
#include "dashboardstyles.h"
#include "devicemodel.h"
#include "diagnosticcopy.h"
#include "dialogwatcher.h"
#include "hidapi_sim.h"
#include "mainwidgetprobe.h"
#include "settingmenu.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestDeviceActions : public QObject
{
    Q_OBJECT

    devsim::DeviceModel* mModel = nullptr;

    static std::unique_ptr<MainWidget> makeWidget()
    {
        auto w = std::make_unique<MainWidget>(MainWidgetProbe::feedByHand());
        MainWidgetProbe::sysTimer(*w)->stop();
        MainWidgetProbe::tick(*w, 120);
        return w;
    }

    static int versionRequests(const devsim::DeviceModel& model)
    {
        int count = 0;
        for (const auto& event : model.events()) {
            count += event.kind == devsim::EventKind::Version ? 1 : 0;
        }
        return count;
    }

private slots:
    void init()
    {
        QFile::remove(DiagnosticCopy::path());
        mModel = new devsim::DeviceModel;
        devsim::installModel(mModel);
        devsim::resetSimCalls();
    }

    void cleanup()
    {
        devsim::installModel(nullptr);
        delete mModel;
    }

    void versionAction_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("requests");
        QTest::newRow("no session") << "absent" << QStringList {"Device disconnected. unable to read."} << 0;
        QTest::newRow("display held by another Orvane")
            << "held" << QStringList {"Device disconnected. unable to read."} << 0;
        QTest::newRow("valid reply") << "13" << QStringList {"Version: DSP-V1.0.07"} << 1;
        QTest::newRow("12 leading non-zero bytes") << "12" << QStringList {} << 1;
        QTest::newRow("14 leading non-zero bytes") << "14" << QStringList {} << 1;
        QTest::newRow("device silent") << "silent" << QStringList {"Failed to read the software version."} << 1;
        QTest::newRow("device pulled out in session")
            << "unplugged" << QStringList {"Failed to read the software version."} << 0;
    }

    void versionAction()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, messages);
        QFETCH(int, requests);
        if (setup == QLatin1String("absent")) {
            mModel->unplug();
        }
        // Another Orvane linked the display first.
        DisplayFeed holder(MainWidgetProbe::feedByHand());
        if (setup == QLatin1String("held")) {
            holder.start();
        }
        auto w = makeWidget();
        const bool inSession = setup != QLatin1String("absent") && setup != QLatin1String("held");
        QCOMPARE(MainWidgetProbe::isUsbConnect(*w), inSession);
        if (setup == QLatin1String("held")) {
            QCOMPARE(MainWidgetProbe::ui(*w)->main_img_linkstate->styleSheet(), kLinkStateNotLinked);
            QVERIFY(MainWidgetProbe::trayIcon(*w));
            QCOMPARE(MainWidgetProbe::trayIcon(*w)->toolTip(),
                     QStringLiteral("Orvane - the display is driven by another Orvane"));
        }
        if (setup == QLatin1String("12") || setup == QLatin1String("14")) {
            mModel->setVersionNonZeroCount(setup.toInt());
        } else if (setup == QLatin1String("silent")) {
            mModel->setSilent(true);
        } else if (setup == QLatin1String("unplugged")) {
            mModel->unplug();
        }
        mModel->clearEvents();
        const int closesBefore = devsim::simCalls().close;

        DialogWatcher watcher;
        // By name: the menu's entries reach the window's private slots through the meta-object, as here.
        QVERIFY(QMetaObject::invokeMethod(w.get(), "slot_menu_version", Qt::DirectConnection));

        QStringList shown;
        for (const auto& seen : watcher.seen()) {
            shown << seen.text;
            QVERIFY(!seen.cancelVisible);
        }
        QCOMPARE(shown, messages);
        QCOMPARE(versionRequests(*mModel), requests);
        // The version exchange leaves the device and the session as they were.
        QCOMPARE(devsim::simCalls().close, closesBefore);
        QCOMPARE(MainWidgetProbe::isUsbConnect(*w), inSession);
        if (setup == QLatin1String("held")) {
            holder.onUsbDisConnect();
        }

        // The diagnostic copy is written first, in every case; before any sensor reply it holds the separator.
        QFile copy(DiagnosticCopy::path());
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), QByteArray("\r\n\r\n"));
    }

    void upgradeAction_data()
    {
        QTest::addColumn<bool>("devicePresent");
        QTest::newRow("with device") << true;
        QTest::newRow("without device") << false;
    }

    void upgradeAction()
    {
        QFETCH(bool, devicePresent);
        if (!devicePresent) {
            mModel->unplug();
        }
        auto w = makeWidget();
        devsim::resetSimCalls();
        DialogWatcher watcher;
        QVERIFY(QMetaObject::invokeMethod(w.get(), "slot_menu_update", Qt::DirectConnection));
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen().first().text, QStringLiteral("No upgrade file was detected."));
        QCOMPARE(devsim::simCalls().write, 0);
        QCOMPARE(devsim::simCalls().open, 0);
        QCOMPARE(MainWidgetProbe::isUsbConnect(*w), devicePresent);
    }

    void settingsMenuReachesBothActions()
    {
        auto w = makeWidget();
        SettingMenu* menu = MainWidgetProbe::settingMenu(*w);
        const auto actions = menu->actions();
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions[0]->text(), QStringLiteral("Device Version"));
        QCOMPARE(actions[1]->text(), QStringLiteral("Device Upgrade"));
        DialogWatcher watcher;
        actions[0]->trigger();
        actions[1]->trigger();
        QCOMPARE(watcher.seen().size(), 2);
        QCOMPARE(watcher.seen()[0].text, QStringLiteral("Version: DSP-V1.0.07"));
        QCOMPARE(watcher.seen()[1].text, QStringLiteral("No upgrade file was detected."));
    }
};

QTEST_MAIN(TestDeviceActions)
#include "test_deviceactions.moc"
