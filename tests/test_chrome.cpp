// SPDX-License-Identifier: GPL-3.0-or-later
// Window chrome, tray entries, settings menu, the settings file and the program's exit path.
#include "devicemodel.h"
#include "hidapi_sim.h"
#include "mainwidgetprobe.h"
#include "sensorendpoint.h"
#include "settingmenu.h"

#include <QAction>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMenu>
#include <QtTest>

namespace {
QString iniPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/sysconf.ini");
}

// Presses `button` at window position `at` the way the window system delivers it: the cursor is there too.
void press(MainWidget& w, QPoint at, Qt::MouseButton button)
{
    QCursor::setPos(w.mapToGlobal(at));
    QMouseEvent event(QEvent::MouseButtonPress, at, w.mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
}

void moveTo(MainWidget& w, QPoint global)
{
    QCursor::setPos(global);
    QMouseEvent event(QEvent::MouseMove, w.mapFromGlobal(global), global, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
}

void release(MainWidget& w, Qt::MouseButton button)
{
    QMouseEvent event(QEvent::MouseButtonRelease, QPoint(), QCursor::pos(), button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
}

QAction* trayAction(MainWidget& w, const QString& text)
{
    for (QAction* action : MainWidgetProbe::trayMenu(w)->actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}
} // namespace

class TestChrome : public QObject
{
    Q_OBJECT

    std::unique_ptr<MainWidget> w;

    QComboBox* cpuItems() { return MainWidgetProbe::ui(*w)->main_cbx_cpuitem; }
    QComboBox* fanItems() { return MainWidgetProbe::ui(*w)->main_cbx_fanitem; }
    QComboBox* loadItems() { return MainWidgetProbe::ui(*w)->main_cbx_loaditem; }

    // A reading whose document lists these temperatures, fans and loads.
    void giveSensors(const QStringList& temperatures, const QStringList& fans, const QStringList& loads = {})
    {
        ST_SENSOR_LIST list {true, {}, {}, {}};
        for (const QString& text : loads) {
            list.loads.append(ST_SENSOR_READING {text, 30});
        }
        for (const QString& text : temperatures) {
            list.temperatures.append(ST_SENSOR_READING {text, 40});
        }
        for (const QString& text : fans) {
            list.fans.append(ST_SENSOR_READING {text, 900});
        }
        // By name: the window's slots are private, and a reading reaches them as the meta-object delivers it.
        QVERIFY(
            QMetaObject::invokeMethod(w.get(), "slot_hwSensorList", Qt::DirectConnection, Q_ARG(ST_SENSOR_LIST, list)));
    }

private slots:
    void init()
    {
        QFile::remove(iniPath());
        w = std::make_unique<MainWidget>(MainWidgetProbe::feedByHand());
        MainWidgetProbe::sysTimer(*w)->stop();
        w->move(200, 150);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void cleanup()
    {
        w.reset();
        QFile::remove(iniPath());
    }

    void dragStrip_data()
    {
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("drags");
        QTest::newRow("top row") << 0 << int(Qt::LeftButton) << true;
        QTest::newRow("last row of the strip") << 39 << int(Qt::LeftButton) << true;
        QTest::newRow("first row below") << 40 << int(Qt::LeftButton) << false;
        QTest::newRow("right button in the strip") << 10 << int(Qt::RightButton) << false;
        QTest::newRow("middle button in the strip") << 10 << int(Qt::MiddleButton) << false;
    }

    void dragStrip()
    {
        QFETCH(int, y);
        QFETCH(int, button);
        QFETCH(bool, drags);
        const QPoint start = w->pos();
        // Over a label of the title bar, where no button takes the press first.
        press(*w, QPoint(500, y), Qt::MouseButton(button));
        QCOMPARE(MainWidgetProbe::mousePressed(*w), drags);
        const QPoint grab = w->mapToGlobal(QPoint(500, y));
        moveTo(*w, grab + QPoint(37, -21));
        QCOMPARE(w->pos(), drags ? start + QPoint(37, -21) : start);
        release(*w, Qt::MouseButton(button));
    }

    void dragKeepsGrabOffset()
    {
        const QPoint grabInWindow(123, 17);
        press(*w, grabInWindow, Qt::LeftButton);
        for (const QPoint step : {QPoint(10, 10), QPoint(-40, 25), QPoint(300, -80)}) {
            moveTo(*w, QCursor::pos() + step);
            // The point of the window under the cursor stays under the cursor.
            QCOMPARE(w->mapFromGlobal(QCursor::pos()), grabInWindow);
        }
        release(*w, Qt::LeftButton);
        QVERIFY(!MainWidgetProbe::mousePressed(*w));
        const QPoint parked = w->pos();
        moveTo(*w, QCursor::pos() + QPoint(50, 50));
        QCOMPARE(w->pos(), parked);
    }

    void releaseOfOtherButtonKeepsDrag()
    {
        press(*w, QPoint(300, 5), Qt::LeftButton);
        release(*w, Qt::RightButton);
        QVERIFY(MainWidgetProbe::mousePressed(*w));
        release(*w, Qt::LeftButton);
        QVERIFY(!MainWidgetProbe::mousePressed(*w));
    }

    void closeButtonAndHideLeaveProgramRunning()
    {
        auto* ui = MainWidgetProbe::ui(*w);
        QTest::mouseClick(ui->main_cbx_cpuitem, Qt::LeftButton); // opens and closes nothing harmful
        QTest::mouseClick(ui->title_btn_close, Qt::LeftButton);
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            QVERIFY(!w->isVisible());
        } else {
            QVERIFY(w->isMinimized());
        }
        // Still running: the tick, the worker and the tray stay.
        QVERIFY(MainWidgetProbe::sysTimer(*w));
        QVERIFY(MainWidgetProbe::hardWareInfoThread(*w)->isRunning());
        QVERIFY(MainWidgetProbe::trayIcon(*w)->isVisible());

        // "hide" in the tray acts on the selectors, not on the window.
        w->showNormal();
        trayAction(*w, QStringLiteral("hide"))->trigger();
        QVERIFY(w->isVisible());
        QVERIFY(!w->isMinimized());
    }

    void minimiseButton()
    {
        QTest::mouseClick(MainWidgetProbe::ui(*w)->title_btn_minimize, Qt::LeftButton);
        QVERIFY(w->isMinimized());
        // A double click on the tray icon brings it back; a single click does nothing.
        emit MainWidgetProbe::trayIcon(*w)->activated(QSystemTrayIcon::Trigger);
        QVERIFY(w->isMinimized());
        emit MainWidgetProbe::trayIcon(*w)->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(!w->isMinimized());
        QVERIFY(w->isVisible());
    }

    void doubleClickShowsHiddenWindow()
    {
        w->hide();
        emit MainWidgetProbe::trayIcon(*w)->activated(QSystemTrayIcon::Trigger);
        emit MainWidgetProbe::trayIcon(*w)->activated(QSystemTrayIcon::MiddleClick);
        QVERIFY(!w->isVisible());
        emit MainWidgetProbe::trayIcon(*w)->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(w->isVisible());
    }

    void trayIconAndMenu()
    {
        QSystemTrayIcon* tray = MainWidgetProbe::trayIcon(*w);
        QCOMPARE(tray->toolTip(), QStringLiteral("Orvane"));
        QVERIFY(!tray->icon().isNull());
        QCOMPARE(tray->contextMenu(), MainWidgetProbe::trayMenu(*w));
        const auto actions = MainWidgetProbe::trayMenu(*w)->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions[0]->text(), QStringLiteral("hide"));
        QCOMPARE(actions[1]->text(), QStringLiteral("show"));
        QVERIFY(actions[2]->isSeparator());
        QCOMPARE(actions[3]->text(), QStringLiteral("exit"));
        for (int i : {0, 1, 3}) {
            QVERIFY(!actions[i]->icon().isNull());
            QCOMPARE(actions[i]->parent(), w.get());
        }
    }

    void settingMenuOpensAtItsPlace()
    {
        SettingMenu* menu = MainWidgetProbe::settingMenu(*w);
        QCOMPARE(menu->parent(), nullptr);
        // Far enough left that the menu fits the offscreen screen (800 x 600), which would otherwise push it back.
        w->move(-500, 60);
        QPoint shownAt;
        QTimer::singleShot(0, [&]() {
            QTRY_VERIFY(menu->isVisible());
            shownAt = menu->pos();
            menu->close();
        });
        QTest::mouseClick(MainWidgetProbe::ui(*w)->title_btn_setting, Qt::LeftButton);
        QCOMPARE(shownAt, w->mapToGlobal(QPoint(w->width() - 151, 45)));
    }

    void showRestoresSelectors_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<int>("cpuIndex");
        QTest::addColumn<int>("fanIndex");
        QTest::addColumn<int>("loadIndex");
        QTest::newRow("no file") << QString() << 0 << 0 << 0;
        QTest::newRow("no DevInfo section") << "[Other]\ntem=CPU Temperature\n" << 0 << 0 << 0;
        QTest::newRow("matching keys") << "[DevInfo]\ntem=CPU Temperature\nfan=Fan Speed\nload=CPU Load\n"
                                       << 0 << 0 << 0;
        QTest::newRow("extra entries match") << "[DevInfo]\ntem=Package\nfan=Pump\nload=GPU / GPU Core\n"
                                             << 1 << 2 << 2;
        // A saved text the document does not list stays chosen, marked, until a document lists it.
        QTest::newRow("keys the document lacks") << "[DevInfo]\ntem=GPU\nfan=fan speed\nload=GPU\n" << 3 << 3 << 3;
        QTest::newRow("case differs") << "[DevInfo]\ntem=package\nfan=PUMP\n" << 3 << 3 << 0;
    }

    void showRestoresSelectors()
    {
        QFETCH(QString, ini);
        QFETCH(int, cpuIndex);
        QFETCH(int, fanIndex);
        QFETCH(int, loadIndex);
        if (!ini.isNull()) {
            QFile file(iniPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ini.toUtf8());
        }
        // Entries beyond the form's own, as a document lists them.
        giveSensors({QStringLiteral("Package"), QStringLiteral("Core")},
                    {QStringLiteral("CPU"), QStringLiteral("Pump")},
                    {QStringLiteral("CPU / CPU Total"), QStringLiteral("GPU / GPU Core")});
        cpuItems()->setCurrentIndex(2);
        fanItems()->setCurrentIndex(1);
        loadItems()->setCurrentIndex(1);
        QSignalSpy cpuChanges(cpuItems(), QOverload<int>::of(&QComboBox::currentIndexChanged));

        trayAction(*w, QStringLiteral("show"))->trigger();
        QCOMPARE(cpuItems()->currentIndex(), cpuIndex);
        QCOMPARE(fanItems()->currentIndex(), fanIndex);
        QCOMPARE(loadItems()->currentIndex(), loadIndex);
        QCOMPARE(cpuItems()->currentText().endsWith(QLatin1String(" (unavailable)")), cpuIndex == 3);
        // "show" does not block the selectors' signals.
        QCOMPARE(cpuChanges.count(), 1);
    }

    void hideResetsSelectorsQuietly()
    {
        giveSensors({QStringLiteral("Package")}, {QStringLiteral("Pump")}, {QStringLiteral("GPU / GPU Core")});
        cpuItems()->setCurrentIndex(1);
        fanItems()->setCurrentIndex(1);
        loadItems()->setCurrentIndex(1);
        QCOMPARE(MainWidgetProbe::ui(*w)->main_lbl_cpu->text(), QStringLiteral("Load:"));
        QSignalSpy cpuChanges(cpuItems(), QOverload<int>::of(&QComboBox::currentIndexChanged));
        QSignalSpy fanChanges(fanItems(), QOverload<int>::of(&QComboBox::currentIndexChanged));
        trayAction(*w, QStringLiteral("hide"))->trigger();
        QCOMPARE(cpuItems()->currentIndex(), 0);
        QCOMPARE(fanItems()->currentIndex(), 0);
        QCOMPARE(loadItems()->currentIndex(), 0);
        QCOMPARE(MainWidgetProbe::ui(*w)->main_lbl_cpu->text(), QStringLiteral("CPU:"));
        QCOMPARE(cpuChanges.count(), 0);
        QCOMPARE(fanChanges.count(), 0);
    }

    void iniValuesAreReadFreshEachTime()
    {
        QString value;
        QVERIFY(QMetaObject::invokeMethod(w.get(),
                                          "GetIniValue",
                                          Qt::DirectConnection,
                                          Q_RETURN_ARG(QString, value),
                                          Q_ARG(QString, QStringLiteral("DevInfo/tem"))));
        QCOMPARE(value, QString());
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[DevInfo]\ntem=Package\n");
        file.close();
        QVERIFY(QMetaObject::invokeMethod(w.get(),
                                          "GetIniValue",
                                          Qt::DirectConnection,
                                          Q_RETURN_ARG(QString, value),
                                          Q_ARG(QString, QStringLiteral("DevInfo/tem"))));
        QCOMPARE(value, QStringLiteral("Package"));
    }
};

QTEST_MAIN(TestChrome)
#include "test_chrome.moc"
