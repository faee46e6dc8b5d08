// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor document parser: which CPU temperature, CPU load and fan speed it picks out of a document.
#include "hardwareinfo.h"
#include "hardwareinfoprobe.h"
#include "testsupport.h"

#include <QFile>
#include <QtTest>

namespace {
QString sensor(const QString& name, const QString& type, const QString& value)
{
    return QStringLiteral("<Sensor Name=\"%1\" SensorType=\"%2\" Value=\"%3\" />").arg(name, type, value);
}

QString sub(const QString& sensors, const QString& tag = QStringLiteral("SubHardware"))
{
    return QStringLiteral("<%1 Name=\"Nuvoton NCT6798D\" HardwareType=\"SuperIO\">%2</%1>").arg(tag, sensors);
}

QString hardware(const QString& name, const QString& type, const QString& inner)
{
    return QStringLiteral("<Hardware Name=\"%1\" HardwareType=\"%2\">%3</Hardware>").arg(name, type, inner);
}

QString board(const QString& sensors)
{
    return hardware(QStringLiteral("ASUS PRIME Z390-A"), QStringLiteral("Motherboard"), sub(sensors));
}

QString cpu(const QString& sensors)
{
    return hardware(QStringLiteral("Intel Core i7-9700K"), QStringLiteral("Cpu"), sensors);
}

QString computer(const QString& inner)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Computer>%1</Computer>").arg(inner);
}

QString fan(const QString& name, const QString& value)
{
    return sensor(name, QStringLiteral("Fan"), value);
}

QString temp(const QString& name, const QString& value)
{
    return sensor(name, QStringLiteral("Temperature"), value);
}

QString load(const QString& name, const QString& value)
{
    return sensor(name, QStringLiteral("Load"), value);
}
} // namespace

class TestSensorParse : public QObject
{
    Q_OBJECT

private slots:
    void figures_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("cputmp");
        QTest::addColumn<int>("cpuload");
        QTest::addColumn<int>("cpufan");

        const QString cpuFan = QStringLiteral("CPU Fan");
        const QString pumpFan = QStringLiteral("Pump Fan");
        const QString systemFan = QStringLiteral("System Fan");
        const QString cpuCore = QStringLiteral("CPU Core");
        const QString cpuTotal = QStringLiteral("CPU Total");
        const QString cpuPackage = QStringLiteral("CPU Package");

        // Thresholds and the value rule.
        QTest::newRow("fan 500.0 is not above 500") << computer(board(fan(cpuFan, "500.0"))) << true << 0 << 0 << 0;
        QTest::newRow("fan 500.99 counts as 500") << computer(board(fan(cpuFan, "500.99"))) << true << 0 << 0 << 0;
        QTest::newRow("fan 501") << computer(board(fan(cpuFan, "501"))) << true << 0 << 0 << 501;
        QTest::newRow("fan integer part") << computer(board(fan(cpuFan, "1200.9"))) << true << 0 << 0 << 1200;
        QTest::newRow("fan with comma") << computer(board(fan(cpuFan, "1200,5"))) << true << 0 << 0 << 0;
        QTest::newRow("temperature 25.9 counts as 25") << computer(board(temp(cpuCore, "25.9"))) << true << 0 << 0 << 0;
        QTest::newRow("temperature 26.0") << computer(board(temp(cpuCore, "26.0"))) << true << 26 << 0 << 0;
        QTest::newRow("temperature with comma") << computer(board(temp(cpuCore, "45,5"))) << true << 0 << 0 << 0;
        QTest::newRow("temperature negative") << computer(board(temp(cpuCore, "-3.5"))) << true << 0 << 0 << 0;
        QTest::newRow("temperature not a number") << computer(board(temp(cpuCore, "n/a"))) << true << 0 << 0 << 0;
        QTest::newRow("temperature empty") << computer(board(temp(cpuCore, ""))) << true << 0 << 0 << 0;
        QTest::newRow("load 0.0") << computer(cpu(load(cpuTotal, "0.0"))) << true << 0 << 0 << 0;
        QTest::newRow("load 0.7") << computer(cpu(load(cpuTotal, "0.7"))) << true << 0 << 0 << 0;
        QTest::newRow("load 1.0") << computer(cpu(load(cpuTotal, "1.0"))) << true << 0 << 1 << 0;
        QTest::newRow("load 12.5") << computer(cpu(load(cpuTotal, "12.5"))) << true << 0 << 12 << 0;

        // The fan chain of the sub-component.
        QTest::newRow("CPU Fan too slow, Pump Fan next")
            << computer(board(fan(cpuFan, "480") + fan(pumpFan, "2650"))) << true << 0 << 0 << 2650;
        QTest::newRow("Pump Fan before System Fan")
            << computer(board(fan(systemFan, "900") + fan(pumpFan, "2650"))) << true << 0 << 0 << 2650;
        QTest::newRow("System Fan before any other fan")
            << computer(board(fan("Fan #1", "700") + fan(systemFan, "900"))) << true << 0 << 0 << 900;
        QTest::newRow("System Fan #1 only by document order")
            << computer(board(fan("System Fan #1", "900") + fan("Fan #2", "700"))) << true << 0 << 0 << 900;
        QTest::newRow("Fan #2 first in document order")
            << computer(board(fan("Fan #2", "700") + fan("System Fan #1", "900"))) << true << 0 << 0 << 700;
        QTest::newRow("CPU Fan needs a fan type")
            << computer(board(sensor(cpuFan, "Control", "700") + fan(pumpFan, "2650"))) << true << 0 << 0 << 2650;
        QTest::newRow("CPU Fan needs the exact name")
            << computer(board(fan("CPU Fan 1", "1500") + fan(pumpFan, "2650"))) << true << 0 << 0 << 2650;
        QTest::newRow("last fan rule takes any type")
            << computer(board(sensor("Fan Control #1", "Control", "600"))) << true << 0 << 0 << 600;
        QTest::newRow("last fan rule is case-sensitive")
            << computer(board(fan("CPU_FAN", "1500"))) << true << 0 << 0 << 0;

        // The temperature chain of the sub-component.
        QTest::newRow("CPU Core before Temperature #1")
            << computer(board(temp("Temperature #1", "30") + temp(cpuCore, "41"))) << true << 41 << 0 << 0;
        QTest::newRow("Temperature #1 before CPU")
            << computer(board(temp("CPU", "45") + temp("Temperature #1", "30"))) << true << 30 << 0 << 0;
        QTest::newRow("CPU before System")
            << computer(board(temp("System", "35") + temp("CPU", "45"))) << true << 45 << 0 << 0;
        QTest::newRow("System before any Temperature")
            << computer(board(temp("Temperature #5", "50") + temp("System", "35"))) << true << 35 << 0 << 0;
        QTest::newRow("any name with Temperature, any type")
            << computer(board(sensor("Liquid Temperature", "Level", "31"))) << true << 31 << 0 << 0;
        QTest::newRow("CPU Core needs a temperature type")
            << computer(board(sensor(cpuCore, "Clock", "4500"))) << true << 0 << 0 << 0;
        QTest::newRow("sub-component never reads the load")
            << computer(board(load(cpuTotal, "40"))) << true << 0 << 0 << 0;

        // The CPU rule.
        QTest::newRow("CPU Package") << computer(cpu(temp(cpuPackage, "55"))) << true << 55 << 0 << 0;
        QTest::newRow("CPU Core #1 when the package is too cold")
            << computer(cpu(temp(cpuPackage, "20") + temp("CPU Core #1", "40"))) << true << 40 << 0 << 0;
        QTest::newRow("Core (Tctl/Tdie) last")
            << computer(cpu(load("CPU Core #1", "50") + temp("Core (Tctl/Tdie)", "60.4"))) << true << 60 << 0 << 0;
        QTest::newRow("other core temperatures are not read")
            << computer(cpu(temp("CPU Core #2", "50"))) << true << 0 << 0 << 0;
        QTest::newRow("CPU Total of another type")
            << computer(cpu(sensor(cpuTotal, "Level", "30"))) << true << 0 << 30 << 0;
        QTest::newRow("name containing CPU Total")
            << computer(cpu(load("CPU Total Usage", "30"))) << true << 0 << 30 << 0;
        QTest::newRow("CPU rule never reads a fan") << computer(cpu(fan(cpuFan, "1500"))) << true << 0 << 0 << 0;

        // What counts as a CPU.
        QTest::newRow("Intel Core by name")
            << computer(hardware("Intel Core i5-8400", "Processor", load(cpuTotal, "9"))) << true << 0 << 9 << 0;
        QTest::newRow("AMD Ryzen by name")
            << computer(hardware("AMD Ryzen 5 3600", "", load(cpuTotal, "9"))) << true << 0 << 9 << 0;
        QTest::newRow("Cpu by type") << computer(hardware("Intel Xeon E-2176G", "Cpu", load(cpuTotal, "9"))) << true
                                     << 0 << 9 << 0;
        QTest::newRow("lower-case type is no CPU")
            << computer(hardware("Intel Xeon E-2176G", "cpu", load(cpuTotal, "9"))) << true << 0 << 0 << 0;
        QTest::newRow("one sub-component is never a CPU")
            << computer(hardware("Intel Core i7", "Cpu", sub(fan("Fan #1", "800")) + load(cpuTotal, "9"))) << true << 0
            << 0 << 800;
        QTest::newRow("two sub-components of a CPU are all candidates")
            << computer(hardware("Intel Core i7", "Cpu", sub(temp(cpuPackage, "50")) + sub(load(cpuTotal, "20"))))
            << true << 50 << 20 << 0;
        QTest::newRow("two sub-components of a board give nothing")
            << computer(hardware("Board", "Motherboard", sub(fan(cpuFan, "900")) + sub(temp(cpuCore, "40")))) << true
            << 0 << 0 << 0;

        // Sub-component tags and children.
        QTest::newRow("Subhardware when there is no SubHardware")
            << computer(hardware("Board", "Motherboard", sub(fan(cpuFan, "900"), "Subhardware"))) << true << 0 << 0
            << 900;
        QTest::newRow("SubHardware wins over Subhardware")
            << computer(
                   hardware("Board", "Motherboard", sub(fan(cpuFan, "900")) + sub(fan(cpuFan, "1500"), "Subhardware")))
            << true << 0 << 0 << 900;
        QTest::newRow("only direct children of the sub-component")
            << computer(board(QStringLiteral("<Group>%1</Group>").arg(fan(cpuFan, "900")))) << true << 0 << 0 << 0;
        QTest::newRow("comments and text never match")
            << computer(board(QStringLiteral("<!-- Fan 900 Temperature 40 -->Fan Temperature"))) << true << 0 << 0 << 0;
        QTest::newRow("Hardware found at any depth")
            << computer(QStringLiteral("<Group>%1</Group>").arg(cpu(load(cpuTotal, "9")))) << true << 0 << 9 << 0;

        // Elements between a component and its sensors.
        QTest::newRow("CPU sensor inside a wrapper")
            << computer(cpu(QStringLiteral("<Group><Loads>%1</Loads></Group>").arg(load(cpuTotal, "30")))) << true << 0
            << 30 << 0;
        QTest::newRow("CPU sensor inside a component inside the CPU")
            << computer(cpu(hardware("Samsung SSD 970", "Storage", load(cpuTotal, "30")))) << true << 0 << 30 << 0;
        QTest::newRow("sub-component inside a wrapper")
            << computer(
                   hardware("Board", "Motherboard", QStringLiteral("<Chips>%1</Chips>").arg(sub(fan(cpuFan, "900")))))
            << true << 0 << 0 << 900;
        QTest::newRow("sub-component child of any tag")
            << computer(board(QStringLiteral("<Fan Name=\"CPU Fan\" SensorType=\"Fan\" Value=\"900\" />"))) << true << 0
            << 0 << 900;
        QTest::newRow("sensors of another component are not the CPU's")
            << computer(hardware("Samsung SSD 970", "Storage", load(cpuTotal, "30")) + cpu(temp(cpuPackage, "50")))
            << true << 50 << 0 << 0;
        QTest::newRow("document type declaration")
            << QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE Computer><Computer>%1</Computer>")
                   .arg(cpu(load(cpuTotal, "9")))
            << true << 0 << 9 << 0;

        // Not quite well-formed, yet taken as the DOM parser takes it.
        QTest::newRow("control character in a name")
            << computer(cpu(sensor(QStringLiteral("Bus \x01Speed"), "Clock", "100") + load(cpuTotal, "30"))) << true
            << 0 << 30 << 0;
        QTest::newRow("line break inside a name reads as a space")
            << computer(board(fan(QStringLiteral("CPU\nFan"), "1200") + fan(pumpFan, "2650"))) << true << 0 << 0
            << 1200;
        QTest::newRow("attributes on lines of their own")
            << computer(
                   board(QStringLiteral("<Sensor\n  Name=\"CPU Fan\"\n\tSensorType=\"Fan\"\r\n  Value=\"1200\" />")))
            << true << 0 << 0 << 1200;
        QTest::newRow("attribute given twice")
            << computer(QStringLiteral(
                            "<Hardware Name=\"Intel Core i7\" HardwareType=\"Cpu\" HardwareType=\"Cpu\">%1</Hardware>")
                            .arg(load(cpuTotal, "30")))
            << true << 0 << 30 << 0;

        // Across components: flags kept, chain heads reset.
        const QString mainboard = board(fan(cpuFan, "1200.4") + temp(cpuCore, "41.2"));
        const QString intel = cpu(temp(cpuPackage, "55.0") + load(cpuTotal, "12.5"));
        QTest::newRow("board then CPU") << computer(mainboard + intel) << true << 41 << 12 << 1200;
        QTest::newRow("CPU then board") << computer(intel + mainboard) << true << 41 << 12 << 1200;
        QTest::newRow("board without temperature resets the CPU's")
            << computer(intel + board(fan(cpuFan, "1200"))) << true << 0 << 12 << 1200;
        QTest::newRow("second board resets the fan")
            << computer(mainboard + board(fan(cpuFan, "300"))) << true << 0 << 0 << 0;
        QTest::newRow("second CPU resets the load")
            << computer(intel + cpu(load(cpuTotal, "0.5"))) << true << 55 << 0 << 0;
        QTest::newRow("second CPU keeps the temperature")
            << computer(intel + cpu(temp(cpuPackage, "70"))) << true << 55 << 0 << 0;

        // Rejected texts.
        QTest::newRow("empty") << QString() << false << 0 << 0 << 0;
        QTest::newRow("not XML") << QStringLiteral("CPU Fan 1200") << false << 0 << 0 << 0;
        QTest::newRow("truncated") << computer(mainboard + intel).left(200) << false << 0 << 0 << 0;
        QTest::newRow("other root") << QStringLiteral("<computer>%1</computer>").arg(intel) << false << 0 << 0 << 0;
        QTest::newRow("no Hardware") << computer(QString()) << true << 0 << 0 << 0;
        QTest::newRow("Hardware without anything")
            << computer(hardware("Board", "Motherboard", QString())) << true << 0 << 0 << 0;

        // Nesting far deeper than any sensor server writes. These once overflowed the stack (the lenient parser and
        // the DOM's clean-up both recurse per level) or took minutes; now they are refused at once.
        const QString cpuOpen = QStringLiteral("<Hardware Name=\"Intel Core i7\" HardwareType=\"Cpu\">");
        QTest::newRow("sensors nested 140000 deep, never closed")
            << computer(cpuOpen + QStringLiteral("<Sensor>").repeated(140000)) << false << 0 << 0 << 0;
        QTest::newRow("30000 levels after a control character")
            << computer(QStringLiteral("\x01") + QStringLiteral("<a>").repeated(30000) +
                        QStringLiteral("</a>").repeated(30000))
            << false << 0 << 0 << 0;
        QTest::newRow("components nested 3000 deep")
            << computer(cpuOpen.repeated(3000) + load(cpuTotal, "30") + QStringLiteral("</Hardware>").repeated(3000))
            << false << 0 << 0 << 0;
        QTest::newRow("60 wrappers are still read")
            << computer(QStringLiteral("<Group>").repeated(60) + cpu(load(cpuTotal, "30")) +
                        QStringLiteral("</Group>").repeated(60))
            << true << 0 << 30 << 0;
    }

    void figures()
    {
        QFETCH(QString, document);
        QFETCH(bool, accepted);
        QFETCH(int, cputmp);
        QFETCH(int, cpuload);
        QFETCH(int, cpufan);

        HardWareInfo client;
        ST_VOVIREDO_DATA data {};
        QCOMPARE(HardWareInfoProbe::parse(client, document, &data), accepted);
        QCOMPARE(data.cputmp, cputmp);
        QCOMPARE(data.cpuload, cpuload);
        QCOMPARE(data.cpufan, cpufan);
    }

    // Documents as a Windows sensor server writes them.
    void serverDocuments_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("cputmp");
        QTest::addColumn<int>("cpuload");
        QTest::addColumn<int>("cpufan");
        QTest::newRow("Intel desktop") << "windows-intel-asus.xml" << 41 << 12 << 1150;
        QTest::newRow("AMD desktop, CPU first") << "windows-amd-asus.xml" << 0 << 7 << 1342;
        QTest::newRow("laptop embedded controller") << "windows-laptop-ec.xml" << 47 << 23 << 2931;
    }

    void serverDocuments()
    {
        QFETCH(QString, file);
        QFETCH(int, cputmp);
        QFETCH(int, cpuload);
        QFETCH(int, cpufan);

        QFile source(TestSupport::fixturesDir() + QStringLiteral("/documents/") + file);
        QVERIFY2(source.open(QIODevice::ReadOnly), qPrintable(source.fileName()));
        HardWareInfo client;
        ST_VOVIREDO_DATA data {};
        QVERIFY(HardWareInfoProbe::parse(client, QString::fromUtf8(source.readAll()), &data));
        QCOMPARE(data.cputmp, cputmp);
        QCOMPARE(data.cpuload, cpuload);
        QCOMPARE(data.cpufan, cpufan);
    }

    // Every temperature and fan, named after the element above it, in document order; the same text again is
    // numbered, and a list stops at 256 entries.
    void sensorLists_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<QStringList>("temperatures");
        QTest::addColumn<QStringList>("fans");
        const QString ryzen =
            hardware(QStringLiteral("AMD Ryzen 9 5900X"),
                     QStringLiteral("Cpu"),
                     temp(QStringLiteral("Core (Tctl/Tdie)"), "62.5") + temp(QStringLiteral("CCD1 (Tdie)"), "55.3") +
                         load(QStringLiteral("CPU Total"), "6"));
        const QString gpu = hardware(QStringLiteral("amdgpu"),
                                     QStringLiteral("Gpu"),
                                     temp(QStringLiteral("junction"), "48") + fan(QStringLiteral("GPU Fan"), "1850"));
        const QString fans = hardware(QStringLiteral("Board"),
                                      QStringLiteral("Motherboard"),
                                      sub(fan(QStringLiteral("Fan #2"), "1430"), QStringLiteral("SubHardware"))
                                          .replace(QStringLiteral("Nuvoton NCT6798D"), QStringLiteral("Fans")));
        QTest::newRow("a machine") << computer(fans + ryzen + gpu)
                                   << QStringList {"AMD Ryzen 9 5900X / Core (Tctl/Tdie)",
                                                   "AMD Ryzen 9 5900X / CCD1 (Tdie)",
                                                   "amdgpu / junction"}
                                   << QStringList {"Fans / Fan #2", "amdgpu / GPU Fan"};
        const QString drive =
            hardware(QStringLiteral("nvme"), QStringLiteral("Storage"), temp(QStringLiteral("Composite"), "41"));
        QTest::newRow("two drives alike")
            << computer(drive + drive + drive)
            << QStringList {"nvme / Composite", "nvme / Composite #2", "nvme / Composite #3"} << QStringList();
        QTest::newRow("only Temperature and Fan kinds")
            << computer(hardware(QStringLiteral("x"),
                                 QStringLiteral("y"),
                                 sensor(QStringLiteral("a"), QStringLiteral("Temperatures"), "1") +
                                     sensor(QStringLiteral("b"), QStringLiteral("Control"), "1") +
                                     QStringLiteral("<Other Name=\"c\" SensorType=\"Fan\" Value=\"1\"/>")))
            << QStringList() << QStringList();
        QStringList many;
        QString hundreds;
        for (int i = 0; i < 300; ++i) {
            hundreds += temp(QStringLiteral("t%1").arg(i), "30");
            if (i < 256) {
                many << QStringLiteral("big / t%1").arg(i);
            }
        }
        QTest::newRow("at most 256") << computer(hardware(QStringLiteral("big"), QStringLiteral("Cpu"), hundreds))
                                     << many << QStringList();
    }

    void sensorLists()
    {
        QFETCH(QString, document);
        QFETCH(QStringList, temperatures);
        QFETCH(QStringList, fans);
        HardWareInfo client;
        QVERIFY(HardWareInfoProbe::parse(client, document));
        const ST_SENSOR_LIST list = HardWareInfoProbe::sensorList(client);
        QVERIFY(list.fromDocument);
        QStringList gotTemperatures, gotFans;
        for (const ST_SENSOR_READING& reading : list.temperatures) {
            gotTemperatures << reading.text;
        }
        for (const ST_SENSOR_READING& reading : list.fans) {
            gotFans << reading.text;
        }
        QCOMPARE(gotTemperatures, temperatures);
        QCOMPARE(gotFans, fans);
        if (!list.fans.isEmpty()) {
            QCOMPARE(list.fans.last().value, 1850);
            QCOMPARE(list.temperatures.first().value, 62);
        }
    }

    // A rejected document writes nothing: the caller's record stays as it was.
    void rejectedDocumentLeavesRecord()
    {
        HardWareInfo client;
        HardWareInfoProbe::setServerData(client, ST_VOVIREDO_DATA {7, 8, 900});
        bool accepted = true;
        QVERIFY(QMetaObject::invokeMethod(&client,
                                          "parseServerData",
                                          Qt::DirectConnection,
                                          Q_RETURN_ARG(bool, accepted),
                                          Q_ARG(QString, QStringLiteral("<Computer><Hardware"))));
        QVERIFY(!accepted);
        const ST_VOVIREDO_DATA data = HardWareInfoProbe::serverData(client);
        QCOMPARE(data.cputmp, 7);
        QCOMPARE(data.cpuload, 8);
        QCOMPARE(data.cpufan, 900);
    }

    // The slots are listed after the signal, in this order.
    void metaObjectOrder()
    {
        const QMetaObject& meta = HardWareInfo::staticMetaObject;
        QStringList methods;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            methods << QString::fromLatin1(meta.method(i).methodSignature());
        }
        QCOMPARE(methods,
                 QStringList({"signal_hwReadData(ST_HWINFO_DATA)",
                              "signal_hwSensorList(ST_SENSOR_LIST)",
                              "signal_hwReading(ST_HW_READING)",
                              "onClearVoViredoData()",
                              "onClearHwInfoData()",
                              "onReadVoViredo()",
                              "parseServerData(QString)",
                              "parseSensorValue(QDomNodeList,QString,QString,int,int&)",
                              "slot_hwGetData()"}));
    }
};

QTEST_GUILESS_MAIN(TestSensorParse)
#include "test_sensorparse.moc"
