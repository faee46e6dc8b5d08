// SPDX-License-Identifier: GPL-3.0-or-later
// What a sensor reading does on the dashboard and at the device, and the message dialog.
#include "dashboardstyles.h"
#include "devicemodel.h"
#include "hidapi_sim.h"
#include "mainwidgetprobe.h"
#include "msgdialog.h"
#include "settingsfile.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {
ST_HWINFO_DATA reading(int temperature, int load, int fan)
{
    ST_HWINFO_DATA data;
    data.cputmp = temperature;
    data.cpuload = load;
    data.cpufan = fan;
    return data;
}

// True when `lcd` currently shows exactly `text`: putting the same text up again changes no pixel.
bool showsText(QLCDNumber* lcd, const QString& text)
{
    const QImage before = lcd->grab().toImage();
    const int digits = lcd->digitCount();
    lcd->display(text);
    const bool same = lcd->grab().toImage() == before && lcd->digitCount() == digits;
    return same;
}

int pictureNumber(const QString& styleSheet)
{
    const QRegularExpression number(QStringLiteral("bgi_dbd_(\\d+)\\.png"));
    const auto match = number.match(styleSheet);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// What a window repaints from now on, in its own coordinates, once it has painted what was due.
struct RepaintLog : QObject
{
    explicit RepaintLog(QWidget* window) : window(window)
    {
        QCoreApplication::processEvents();
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint && widget->window() == window) {
            painted += static_cast<QPaintEvent*>(event)->region().translated(widget->mapTo(window, QPoint(0, 0)));
        }
        return false;
    }
    QWidget* window;
    QRegion painted;
};

// Set in a second run of this program: it draws the window there (at the scale that run was started with) into this
// file instead of running the tests.
constexpr char kWindowPictureVariable[] = "ORVANE_TEST_WINDOW_PICTURE";
// 1500 rpm: the gauge shows picture 14 (drawWindow() draws nothing if not).
constexpr int kGaugeFan = 1500;

// The mean pixel of an area: a smooth scale down to one pixel averages it.
QRgb mean(const QImage& image, const QRect& area)
{
    return image.copy(area).scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(0, 0);
}

// Mean difference per channel of two pictures over an area.
int meanDifference(QImage a, const QImage& b, const QRect& area)
{
    QPainter painter(&a);
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.drawImage(a.rect(), b);
    painter.end();
    const QRgb difference = mean(a, area);
    return (qRed(difference) + qGreen(difference) + qBlue(difference)) / 3;
}

std::vector<devsim::Event> valueEvents(const devsim::DeviceModel& model)
{
    std::vector<devsim::Event> values;
    for (const devsim::Event& event : model.events()) {
        if (event.kind == devsim::EventKind::Value) {
            values.push_back(event);
        }
    }
    return values;
}
} // namespace

class TestDashboard : public QObject
{
    Q_OBJECT

    devsim::DeviceModel* mModel = nullptr;

    // By name: the window's slots are private, and a reading reaches them as the meta-object delivers it.
    static void deliver(MainWidget& w, const ST_HWINFO_DATA& data)
    {
        QVERIFY(QMetaObject::invokeMethod(&w, "slot_hwReadData", Qt::DirectConnection, Q_ARG(ST_HWINFO_DATA, data)));
    }

public:
    // The window as shown, at this run's scale, after a reading that came before it was first shown (started hidden
    // in the tray) or after; `gauge` is where the gauge lies in it, in points.
    static QImage drawWindow(bool readingWhileNeverShown = true, QRect* gauge = nullptr)
    {
        auto w = makeWidget(false);
        if (!readingWhileNeverShown) {
            w->show();
            QCoreApplication::processEvents();
        }
        deliver(*w, reading(40, 10, kGaugeFan));
        if (pictureNumber(MainWidgetProbe::ui(*w)->main_dbd_bgi->styleSheet()) != 14) {
            return QImage();
        }
        w->show();
        QCoreApplication::processEvents();
        if (gauge) {
            QWidget* face = MainWidgetProbe::ui(*w)->main_dbd_gray;
            *gauge = QRect(face->mapTo(w.get(), QPoint()), face->size());
        }
        return w->grab().toImage();
    }

private:
    static std::unique_ptr<MainWidget> makeWidget(bool sweepDone)
    {
        auto w = std::make_unique<MainWidget>(MainWidgetProbe::feedByHand());
        MainWidgetProbe::sysTimer(*w)->stop();
        if (sweepDone) {
            MainWidgetProbe::tick(*w, 120);
        }
        return w;
    }

private slots:
    void init()
    {
        // A choice saved by an earlier case would be restored by the next window.
        QFile::remove(SettingsFile::writePath());
        mModel = new devsim::DeviceModel;
        devsim::installModel(mModel);
        devsim::resetSimCalls();
    }

    void cleanup()
    {
        devsim::installModel(nullptr);
        delete mModel;
        mModel = nullptr;
    }

    void readingIsLimitedShownAndSent_data()
    {
        QTest::addColumn<int>("temperature");
        QTest::addColumn<int>("load");
        QTest::addColumn<int>("fan");
        QTest::addColumn<QString>("temText");
        QTest::addColumn<QString>("fanText");
        QTest::addColumn<QString>("loadText");
        QTest::addColumn<int>("picture");
        QTest::addColumn<QList<int>>("sent");
        QTest::newRow("above every range") << 120 << 150 << 3500 << "99"
                                           << "2000"
                                           << "100" << 20 << QList<int> {99, 2000, 100};
        QTest::newRow("below every range") << -5 << -1 << -10 << "00"
                                           << "00"
                                           << "0" << 1 << QList<int> {0, 0, 0};
        QTest::newRow("typical") << 45 << 12 << 1500 << "45"
                                 << "1500"
                                 << "12" << 14 << QList<int> {45, 1500, 12};
        QTest::newRow("single digits") << 7 << 5 << 950 << "07"
                                       << "950"
                                       << "5" << 8 << QList<int> {7, 950, 5};
        QTest::newRow("failed request") << 0 << 0 << 0 << "00"
                                        << "00"
                                        << "0" << 1 << QList<int> {0, 0, 0};
    }

    void readingIsLimitedShownAndSent()
    {
        QFETCH(int, temperature);
        QFETCH(int, load);
        QFETCH(int, fan);
        QFETCH(QString, temText);
        QFETCH(QString, fanText);
        QFETCH(QString, loadText);
        QFETCH(int, picture);
        QFETCH(QList<int>, sent);
        auto w = makeWidget(true);
        QVERIFY(MainWidgetProbe::isUsbConnect(*w));
        mModel->clearEvents();

        deliver(*w, reading(temperature, load, fan));
        auto* ui = MainWidgetProbe::ui(*w);
        QVERIFY(showsText(ui->main_lcd_tem, temText));
        QVERIFY(showsText(ui->main_lcd_fan, fanText));
        QVERIFY(showsText(ui->main_lcd_cpu, loadText));
        QCOMPARE(pictureNumber(ui->main_dbd_bgi->styleSheet()), picture);

        const auto values = valueEvents(*mModel);
        QCOMPARE(values.size(), size_t(1));
        QCOMPARE((QList<int> {values[0].temp, values[0].fan, values[0].load}), sent);
    }

    // The selectors choose what the display shows: the rules' figures by default, a picked sensor's from the next
    // reading on (limited as ever, 0 while it is missing, marked), and the pick is saved at once.
    void chosenSensorDrivesTheFigures()
    {
        auto w = makeWidget(true);
        auto* ui = MainWidgetProbe::ui(*w);
        QComboBox* temperatures = ui->main_cbx_cpuitem;
        QComboBox* fans = ui->main_cbx_fanitem;
        const ST_SENSOR_LIST all {
            true,
            {{QStringLiteral("amdgpu / junction"), 48}, {QStringLiteral("nvme / Composite"), 120}},
            {{QStringLiteral("amdgpu / GPU Fan"), 1850}, {QStringLiteral("Fans / Fan #2"), 3500}}};
        const ST_SENSOR_LIST someGone {true, {all.temperatures.first()}, {all.fans.first()}};
        // One reading as the worker sends it: its sensors, then its figures. What reached the display.
        auto read = [&](const ST_SENSOR_LIST& list) {
            mModel->clearEvents();
            QMetaObject::invokeMethod(w.get(), "slot_hwSensorList", Qt::DirectConnection, Q_ARG(ST_SENSOR_LIST, list));
            deliver(*w, reading(62, 6, 1430));
            const auto values = valueEvents(*mModel);
            return values.empty() ? QList<int>()
                                  : QList<int> {values.back().temp, values.back().fan, values.back().load};
        };
        auto pick = [](QComboBox* box, const QString& text) {
            box->setCurrentIndex(box->findText(text));
            emit box->activated(box->currentIndex());
        };

        QCOMPARE(read(all), (QList<int> {62, 1430, 6}));
        QCOMPARE(temperatures->count(), 3);
        pick(temperatures, QStringLiteral("amdgpu / junction"));
        pick(fans, QStringLiteral("amdgpu / GPU Fan"));
        QCOMPARE(read(all), (QList<int> {48, 1850, 6}));
        const QSettings saved(SettingsFile::writePath(), QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("DevInfo/tem")).toString(), QStringLiteral("amdgpu / junction"));
        QCOMPARE(saved.value(QStringLiteral("DevInfo/fan")).toString(), QStringLiteral("amdgpu / GPU Fan"));

        pick(temperatures, QStringLiteral("nvme / Composite"));
        pick(fans, QStringLiteral("Fans / Fan #2"));
        QCOMPARE(read(all), (QList<int> {99, 2000, 6}));
        QCOMPARE(read(someGone), (QList<int> {0, 0, 6}));
        QCOMPARE(temperatures->currentText(), QStringLiteral("nvme / Composite (unavailable)"));
        QCOMPARE(temperatures->count(), 3);
        QCOMPARE(read(all), (QList<int> {99, 2000, 6}));
        QCOMPARE(temperatures->currentText(), QStringLiteral("nvme / Composite"));

        // The same sensors again: the selectors are left alone.
        QSignalSpy rebuilt(temperatures->model(), &QAbstractItemModel::rowsInserted);
        read(all);
        QCOMPARE(rebuilt.count(), 0);
    }

    void fullLoadReadsAsHundred()
    {
        auto w = makeWidget(true);
        auto* lcd = MainWidgetProbe::ui(*w)->main_lcd_cpu;
        deliver(*w, reading(50, 100, 1000));
        QVERIFY(showsText(lcd, QStringLiteral("100")));
        QVERIFY(!showsText(lcd, QStringLiteral("00")));
        // Three digits as large as the usual two.
        QCOMPARE(lcd->size(), QSize(30, 20));
        // And back to the form's two digits once the load drops.
        deliver(*w, reading(50, 99, 1000));
        QCOMPARE(lcd->digitCount(), 2);
        QCOMPARE(lcd->minimumSize(), QSize(20, 20));
        QCOMPARE(lcd->maximumSize(), QSize(20, 20));
        QVERIFY(showsText(lcd, QStringLiteral("99")));
    }

    void gaugePictureSteps_data()
    {
        QTest::addColumn<int>("fan");
        QTest::addColumn<int>("picture");
        const QList<QPair<int, int>> rows {
            {-300, 1},  {0, 1},     {199, 1},   {200, 2},   {299, 2},   {300, 3},   {399, 3},   {400, 4},   {599, 4},
            {600, 6},   {799, 6},   {800, 8},   {999, 8},   {1000, 10}, {1199, 10}, {1200, 12}, {1399, 12}, {1400, 14},
            {1599, 14}, {1600, 16}, {1799, 16}, {1800, 18}, {1999, 18}, {2000, 20}, {5000, 20}};
        for (const auto& row : rows) {
            QTest::addRow("%d rpm", row.first) << row.first << row.second;
        }
    }

    void gaugePictureSteps()
    {
        QFETCH(int, fan);
        QFETCH(int, picture);
        auto w = makeWidget(false);
        deliver(*w, reading(40, 10, fan));
        const QString styleSheet = MainWidgetProbe::ui(*w)->main_dbd_bgi->styleSheet();
        QCOMPARE(pictureNumber(styleSheet), picture);
        // Always one of the table's own entries.
        bool inTable = false;
        for (int i = 0; i < 12; ++i) {
            inTable = inTable || styleSheet == QLatin1String(dbdArray[i]);
        }
        QVERIFY(inTable);
    }

    void noDeviceTrafficBeforeSweepEnds_data()
    {
        QTest::addColumn<bool>("devicePresent");
        QTest::newRow("session open") << true;
        QTest::newRow("no session") << false;
    }

    void noDeviceTrafficBeforeSweepEnds()
    {
        QFETCH(bool, devicePresent);
        if (!devicePresent) {
            mModel->unplug();
        }
        auto w = makeWidget(false);
        QCOMPARE(MainWidgetProbe::isUsbConnect(*w), devicePresent);
        devsim::resetSimCalls();
        mModel->clearEvents();

        MainWidgetProbe::tick(*w, 119);
        deliver(*w, reading(45, 12, 1500));
        deliver(*w, reading(46, 13, 1600));
        QCOMPARE(devsim::simCalls().open, 0);
        QCOMPARE(devsim::simCalls().write, 0);
        // The readouts still follow.
        QVERIFY(showsText(MainWidgetProbe::ui(*w)->main_lcd_tem, QStringLiteral("46")));

        MainWidgetProbe::tick(*w);
        deliver(*w, reading(47, 14, 1700));
        if (devicePresent) {
            QCOMPARE(valueEvents(*mModel).size(), size_t(1));
        } else {
            QCOMPARE(devsim::simCalls().open, 1);
        }
    }

    void readingRepaintsOnlyWhatChanged_data()
    {
        QTest::addColumn<QList<int>>("next");
        QTest::addColumn<QStringList>("changed");
        QTest::newRow("same figures") << QList<int> {45, 12, 1500} << QStringList {};
        QTest::newRow("temperature") << QList<int> {46, 12, 1500} << QStringList {"main_lcd_tem"};
        QTest::newRow("load") << QList<int> {45, 13, 1500} << QStringList {"main_lcd_cpu"};
        QTest::newRow("fan within a gauge step") << QList<int> {45, 12, 1510} << QStringList {"main_lcd_fan"};
        QTest::newRow("fan into the next gauge step") << QList<int> {45, 12, 1700} << QStringList {"main_dbd_bgi"};
    }

    void readingRepaintsOnlyWhatChanged()
    {
        QFETCH(QList<int>, next);
        QFETCH(QStringList, changed);
        auto w = makeWidget(true);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        deliver(*w, reading(45, 12, 1500));

        RepaintLog log(w.get());
        deliver(*w, reading(next.at(0), next.at(1), next.at(2)));
        QCoreApplication::processEvents();
        QRegion allowed;
        for (const QString& name : changed) {
            auto* widget = w->findChild<QWidget*>(name);
            QVERIFY(widget);
            allowed += QRect(widget->mapTo(w.get(), QPoint(0, 0)), widget->size());
        }
        QCOMPARE(log.painted.subtracted(allowed).boundingRect(), QRect());
        QCOMPARE(log.painted.isEmpty(), changed.isEmpty());
    }

    void readingBeforeFirstShowIsShown()
    {
        const QImage before = drawWindow(true);
        QVERIFY(!before.isNull());
        QVERIFY(before == drawWindow(false));
    }

    // On a screen at scale 2 the gauge is its @2x pictures put on 1:1, not the 1x ones scaled up, and the panel's glow
    // spreads as far as at scale 1.
    void sharpAtScale2()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("window.png"));
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        env.insert(QLatin1String(kWindowPictureVariable), path);
        run.setProcessEnvironment(env);
        run.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(run.waitForFinished(30000) && run.exitCode() == 0);
        const QImage atScale2(path);
        QRect gauge;
        const QImage atScale1 = drawWindow(true, &gauge);
        QCOMPARE(atScale2.size(), atScale1.size() * 2);

        QImage sharp(gauge.size() * 2, QImage::Format_ARGB32_Premultiplied);
        sharp.setDevicePixelRatio(2);
        sharp.fill(Qt::transparent);
        QPainter painter(&sharp);
        painter.drawImage(0, 0, QImage(QStringLiteral(":/image/bgi_dbd_gray@2x.png")));
        painter.drawImage(0, 0, QImage(QStringLiteral(":/image/bgi_dbd_14@2x.png")));
        const QImage gauge2 = atScale2.copy(QRect(gauge.topLeft() * 2, sharp.size()));
        // The segments at the top of the arc, clear of the readouts drawn over the gauge.
        const QRect arc(350, 50, 200, 55);
        const int fromSharp = meanDifference(gauge2, sharp, arc);
        const int fromUpscaled = meanDifference(gauge2, atScale1.copy(gauge).scaled(sharp.size()), arc);
        // The glow shows in the panel's rounded corners: the mean alpha of the 3 x 3 points there.
        const int glow1 = qAlpha(mean(atScale1, QRect(0, 0, 3, 3)));
        const int glow2 = qAlpha(mean(atScale2, QRect(0, 0, 6, 6)));
        qInfo("arc: %d from the @2x pictures, %d from scale 1 scaled up; glow: %d at scale 1, %d at 2",
              fromSharp,
              fromUpscaled,
              glow1,
              glow2);
        QCOMPARE(fromSharp, 0);
        QVERIFY(fromUpscaled > 0);
        QVERIFY(glow1 > 5);
        QVERIFY(qAbs(glow2 - glow1) < glow1 / 5);
    }

    void oneConnectionAttemptPerReadingWithoutSession()
    {
        mModel->unplug();
        auto w = makeWidget(true);
        devsim::resetSimCalls();
        for (int i = 1; i <= 4; ++i) {
            deliver(*w, reading(40, 10, 900));
            QCOMPARE(devsim::simCalls().open, i);
        }
        QVERIFY(!MainWidgetProbe::isUsbConnect(*w));
        // Plugged in: the next reading links it, the one after sends values.
        mModel->plug();
        deliver(*w, reading(40, 10, 900));
        QVERIFY(MainWidgetProbe::isUsbConnect(*w));
        mModel->clearEvents();
        deliver(*w, reading(41, 11, 901));
        QCOMPARE(devsim::simCalls().open, 5);
        QCOMPARE(valueEvents(*mModel).size(), size_t(1));
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString windowPicture = qEnvironmentVariable(kWindowPictureVariable);
    if (!windowPicture.isEmpty()) {
        return TestDashboard::drawWindow().save(windowPicture, "PNG") ? 0 : 1;
    }
    TestDashboard test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_dashboard.moc"
