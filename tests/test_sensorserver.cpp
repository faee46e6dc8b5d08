// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux sensor server VOViredo, run as a process on fixture machines, read through the client's own parser; its
// card readers in this process, on a clock the test steps.
#include "hardwareinfo.h"
#include "hardwareinfoprobe.h"
#include "hwmon.h"
#include "nvidiagpus.h"
#include "sensorendpoint.h"
#include "sensorprotocol.h"
#include "testsupport.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
const QString kServerName = QLatin1String(SensorProtocol::kServerName);

// Changes to a copy of a fixture machine: a path under the machine's folder and its new content, or no content to
// remove the entry.
struct Tweak
{
    QString path;
    QByteArray content;
    bool remove = false;
};
using Tweaks = QList<Tweak>;

Tweak write(const QString& path, const QByteArray& content)
{
    return Tweak {path, content, false};
}

Tweak removal(const QString& path)
{
    return Tweak {path, QByteArray(), true};
}

// Running, and not merely waiting to be reaped by whoever adopted it.
bool processRunning(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray text = stat.readAll();
    const int state = text.lastIndexOf(')') + 2;
    return state > 1 && state < text.size() && text.at(state) != 'Z';
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// What a user would see from this document.
ST_VOVIREDO_DATA figures(const QByteArray& document, bool* accepted)
{
    HardWareInfo client;
    ST_VOVIREDO_DATA data {};
    *accepted = HardWareInfoProbe::parse(client, QString::fromUtf8(document), &data);
    return data;
}

// A graphics card's sensors as "<element> / <sensor> (<kind>) = <value>", in document order.
QStringList gpuSensors(const QByteArray& document)
{
    QStringList found;
    QDomDocument dom;
    dom.setContent(document);
    const QDomNodeList hardware = dom.elementsByTagName(QStringLiteral("Hardware"));
    for (int i = 0; i < hardware.count(); ++i) {
        const QDomElement element = hardware.at(i).toElement();
        if (element.attribute(QStringLiteral("HardwareType")) != QLatin1String("Gpu")) {
            continue;
        }
        for (QDomElement sensor = element.firstChildElement(); !sensor.isNull(); sensor = sensor.nextSiblingElement()) {
            found << QStringLiteral("%1 / %2 (%3) = %4")
                         .arg(element.attribute(QStringLiteral("Name")),
                              sensor.attribute(QStringLiteral("Name")),
                              sensor.attribute(QStringLiteral("SensorType")),
                              sensor.attribute(QStringLiteral("Value")));
        }
    }
    return found;
}

// An NVIDIA card in a machine's sysfs, where a driver would show it.
Tweaks nvidiaCard(const QString& slot, const QByteArray& address, const QByteArray& status = "active")
{
    const QString device = QStringLiteral("sys/bus/pci/devices/") + slot + QLatin1Char('/');
    return {write(device + "vendor", "0x10de\n"),
            write(device + "class", "0x030000\n"),
            write(device + "uevent", "DRIVER=nvidia\nPCI_SLOT_NAME=" + address + "\n"),
            write(device + "power/runtime_status", status + "\n"),
            write(device + "power/control", "on\n")};
}

const QString kAmdgpuDevice = QStringLiteral("sys/class/hwmon/hwmon0/device/");
const QString kNvidiaDevice = QStringLiteral("sys/bus/pci/devices/0000-01-00.0/");
const QByteArray kRtx4080 = "gpu 0000:01:00.0 54 37 1450,1510 NVIDIA GeForce RTX 4080\n";

// The power state of both cards of a machine with the amdgpu and the NVIDIA card above; 1000 ms autosuspend delay.
bool setPower(const QString& root, const QByteArray& status, const QByteArray& control)
{
    for (const QString& device : {kAmdgpuDevice, kNvidiaDevice}) {
        if (!writeFile(root + QLatin1Char('/') + device + "power/runtime_status", status + '\n') ||
            !writeFile(root + QLatin1Char('/') + device + "power/control", control + '\n') ||
            !writeFile(root + QLatin1Char('/') + device + "power/autosuspend_delay_ms", "1000\n")) {
            return false;
        }
    }
    return true;
}

// One request on a connection of its own, read until the server closes it.
QByteArray request(const QByteArray& what, bool* closedByServer = nullptr)
{
    QLocalSocket socket;
    socket.connectToServer(SensorEndpoint::serverSocketName());
    if (!socket.waitForConnected(5000)) {
        return QByteArray("<no connection>");
    }
    socket.write(what);
    socket.waitForBytesWritten(5000);
    QByteArray reply;
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QLocalSocket::ConnectedState && clock.elapsed() < 10000) {
        socket.waitForReadyRead(200);
        reply += socket.readAll();
    }
    reply += socket.readAll();
    if (closedByServer) {
        *closedByServer = socket.state() != QLocalSocket::ConnectedState;
    }
    return reply;
}
} // namespace

Q_DECLARE_METATYPE(Tweaks)

class TestSensorServer : public QObject
{
    Q_OBJECT

    // A socket path has room for about 100 bytes: a runtime folder deep in the build tree would not do.
    QTemporaryDir mRuntimeDir {QStringLiteral("/tmp/orvane-XXXXXX")};
    QString mProgram;
    QList<QProcess*> mServers;

    static QString fixture(const QString& machine)
    {
        return TestSupport::fixturesDir() + QStringLiteral("/sysfs/") + machine;
    }

    // A copy of a fixture machine that a test may change.
    static bool copyMachine(const QString& machine, const QString& target, const Tweaks& tweaks = {})
    {
        if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), fixture(machine), target}) != 0) {
            return false;
        }
        for (const Tweak& tweak : tweaks) {
            const QString path = target + QLatin1Char('/') + tweak.path;
            if (tweak.remove) {
                if (!QFile::remove(path) && !QDir(path).removeRecursively()) {
                    return false;
                }
            } else if (!writeFile(path, tweak.content)) {
                return false;
            }
        }
        return true;
    }

    // The stand-in NVML (`library`: "full", "without-fan-rpm", or empty for none), serving the cards of `gpus`, and
    // logging its calls in `calls`.
    static QProcessEnvironment withNvml(const QString& library, const QString& gpus, const QString& calls)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_LIBRARY_PATH"),
                   TestSupport::binaryDir() + QStringLiteral("/nvml-standin/") +
                       (library.isEmpty() ? QStringLiteral("none") : library));
        env.insert(QStringLiteral("NVML_STANDIN_GPUS"), gpus);
        env.insert(QStringLiteral("NVML_STANDIN_CALLS"), calls);
        return env;
    }

    static QStringList callsIn(const QString& path)
    {
        QFile file(path);
        QStringList calls;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (!line.isEmpty()) {
                    calls << QString::fromUtf8(line.left(line.indexOf(' ')));
                }
            }
        }
        return calls;
    }

    QByteArray dump(const QString& root,
                    const QString& fanNames,
                    int* exitCode = nullptr,
                    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                    QByteArray* errors = nullptr)
    {
        QProcess process;
        process.setProcessEnvironment(env);
        if (!errors) {
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        }
        process.start(mProgram,
                      {QStringLiteral("--dump"),
                       QStringLiteral("--sysfs-root"),
                       root + QStringLiteral("/sys"),
                       QStringLiteral("--proc-root"),
                       root + QStringLiteral("/proc"),
                       QStringLiteral("--fan-names"),
                       fanNames});
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
        }
        if (exitCode) {
            *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        }
        if (errors) {
            *errors = process.readAllStandardError();
        }
        return process.readAllStandardOutput();
    }

    // Starts a server on this run's runtime folder and waits until it listens.
    QProcess* serve(const QString& root,
                    const QStringList& extra = {},
                    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        auto* process = new QProcess(this);
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList arguments {QStringLiteral("--sysfs-root"),
                               root + QStringLiteral("/sys"),
                               QStringLiteral("--proc-root"),
                               root + QStringLiteral("/proc"),
                               QStringLiteral("--fan-names"),
                               QStringLiteral("/dev/null")};
        process->start(mProgram, arguments + extra + QStringList {kServerName});
        process->waitForStarted(5000);
        mServers << process;
        QLocalSocket probe;
        for (int i = 0; i < 250; ++i) {
            probe.connectToServer(SensorEndpoint::serverSocketName());
            if (probe.waitForConnected(100)) {
                probe.abort();
                return process;
            }
            QTest::qWait(20);
        }
        return process;
    }

    // The document's shape is what makes the client's fixed rules find the right figures.
    static void checkShape(const QByteArray& document)
    {
        QDomDocument dom;
        QVERIFY2(dom.setContent(document), document.constData());
        QCOMPARE(dom.documentElement().tagName(), QStringLiteral("Computer"));
        const QDomNodeList hardware = dom.elementsByTagName(QStringLiteral("Hardware"));
        QVERIFY(hardware.count() >= 2);
        for (int i = 0; i < hardware.count(); ++i) {
            const QDomElement element = hardware.at(i).toElement();
            const int subs = element.elementsByTagName(QStringLiteral("SubHardware")).count() +
                             element.elementsByTagName(QStringLiteral("Subhardware")).count();
            // The fans' component alone has exactly one sub-component, and it comes first.
            QCOMPARE(subs == 1, i == 0);
            if (i > 1) {
                QVERIFY(!element.attribute(QStringLiteral("HardwareType")).contains(QLatin1String("Cpu")));
                QVERIFY(!element.attribute(QStringLiteral("Name")).contains(QLatin1String("Intel Core")));
                QVERIFY(!element.attribute(QStringLiteral("Name")).contains(QLatin1String("AMD Ryzen")));
            }
        }
        QCOMPARE(hardware.at(1).toElement().attribute(QStringLiteral("HardwareType")), QStringLiteral("Cpu"));

        const QDomNodeList fans =
            hardware.at(0).toElement().elementsByTagName(QStringLiteral("SubHardware")).at(0).childNodes();
        for (int i = 0; i < fans.count(); ++i) {
            const QDomElement fan = fans.at(i).toElement();
            QCOMPARE(fan.tagName(), QStringLiteral("Sensor"));
            QCOMPARE(fan.attribute(QStringLiteral("SensorType")), QStringLiteral("Fan"));
            // Every fan can be found by the last fan rule, and none passes for a temperature.
            QVERIFY(fan.attribute(QStringLiteral("Name")).contains(QLatin1String("Fan")));
            QVERIFY(!fan.attribute(QStringLiteral("Name")).contains(QLatin1String("Temperature")));
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(mRuntimeDir.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(mRuntimeDir.path()));
        mProgram = TestSupport::binaryDir() + QStringLiteral("/voviredo/VOViredo");
        QVERIFY2(QFile::exists(mProgram), "build VOViredo first");
    }

    void cleanup()
    {
        for (QProcess* process : qAsConst(mServers)) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
            delete process;
        }
        mServers.clear();
        QLocalServer::removeServer(SensorEndpoint::serverSocketName());
    }

    void machines_data()
    {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<Tweaks>("tweaks");
        QTest::addColumn<QByteArray>("fanNames");
        QTest::addColumn<int>("cputmp");
        QTest::addColumn<int>("cpuload");
        QTest::addColumn<int>("cpufan");

        const QString intel = QStringLiteral("intel-z390-nct6798");
        const QString amd = QStringLiteral("amd-x570-k10temp");
        const QString msi = QStringLiteral("msi-b550-nct6687");
        const QString broken = QStringLiteral("broken-sensors");
        const QString nct6798 = QStringLiteral("sys/class/hwmon/hwmon3/");
        const QString nct6687 = QStringLiteral("sys/class/hwmon/hwmon2/");

        // Package temperature; without names the first fan that spins (a case fan on fan1).
        QTest::newRow("Intel, unlabelled fans") << intel << Tweaks() << QByteArray() << 46 << 13 << 612;
        QTest::newRow("Intel, user names the CPU fan")
            << intel << Tweaks() << QByteArray("# the cooler is on the second header\n[nct6798]\nfan2 = \"CPU Fan\"\n")
            << 46 << 13 << 1150;
        QTest::newRow("Intel, CPU fan named over a pump")
            << intel << Tweaks() << QByteArray("[nct6798]\nfan1=Pump Fan\nfan2=CPU Fan\n") << 46 << 13 << 1150;
        QTest::newRow("Intel, name for another chip")
            << intel << Tweaks() << QByteArray("[it8688]\nfan2=CPU Fan\n") << 46 << 13 << 612;
        QTest::newRow("Intel, a name that reads as a temperature")
            << intel << Tweaks() << QByteArray("[nct6798]\nfan1=CPU Temperature\nfan2=Temperature #1\n") << 46 << 13
            << 612;
        QTest::newRow("Intel, driver label in lower case")
            << intel << Tweaks {write(nct6798 + "fan2_label", "cpu_fan\n")} << QByteArray() << 46 << 13 << 1150;
        QTest::newRow("Intel, case fan stopped")
            << intel << Tweaks {write(nct6798 + "fan1_input", "0\n")} << QByteArray() << 46 << 13 << 1150;
        QTest::newRow("Intel, package reading lost")
            << intel << Tweaks {write("sys/class/hwmon/hwmon2/temp1_input", "")} << QByteArray() << 46 << 13 << 612;

        // Tctl; the graphics card's fan (spinning, and first among the hwmon devices) is not the CPU's.
        QTest::newRow("AMD, Tctl and Tccd") << amd << Tweaks() << QByteArray() << 62 << 6 << 1430;
        QTest::newRow("AMD, Tdie preferred where reported")
            << amd
            << Tweaks {write("sys/class/hwmon/hwmon2/temp2_input", "52250\n"),
                       write("sys/class/hwmon/hwmon2/temp2_label", "Tdie\n")}
            << QByteArray() << 52 << 6 << 1430;
        QTest::newRow("AMD, zenpower") << amd << Tweaks {write("sys/class/hwmon/hwmon2/name", "zenpower\n")}
                                       << QByteArray() << 62 << 6 << 1430;

        // The driver's labels choose the fan.
        QTest::newRow("MSI, CPU Fan") << msi << Tweaks() << QByteArray() << 48 << 7 << 1020;
        QTest::newRow("MSI, CPU fan stopped: pump")
            << msi << Tweaks {write(nct6687 + "fan1_input", "0\n")} << QByteArray() << 48 << 7 << 2650;
        QTest::newRow("MSI, CPU fan and pump stopped: first system fan")
            << msi << Tweaks {write(nct6687 + "fan1_input", "0\n"), write(nct6687 + "fan2_input", "312\n")}
            << QByteArray() << 48 << 7 << 890;
        QTest::newRow("MSI, user overrides a label")
            << msi << Tweaks() << QByteArray("[nct6687]\nfan1=System Fan #7\nfan3=CPU Fan\n") << 48 << 7 << 890;

        QTest::newRow("laptop, thermal zones only")
            << "laptop-thermal-only" << Tweaks() << QByteArray() << 53 << 20 << 0;
        QTest::newRow("virtual machine, no hwmon") << "vm-no-hwmon" << Tweaks() << QByteArray() << 0 << 9 << 0;

        // EIO, EISDIR, dangling links, garbage, empty files, −55 °C, 127 °C, 65535 RPM, vanished devices.
        QTest::newRow("sensors that fail to read") << broken << Tweaks() << QByteArray() << 51 << 20 << 980;
        QTest::newRow("sensors that fail to read, no package zone")
            << broken << Tweaks {removal("sys/class/thermal/thermal_zone1")} << QByteArray() << 0 << 20 << 980;
    }

    void machines()
    {
        QFETCH(QString, machine);
        QFETCH(Tweaks, tweaks);
        QFETCH(QByteArray, fanNames);
        QFETCH(int, cputmp);
        QFETCH(int, cpuload);
        QFETCH(int, cpufan);

        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("machine"));
        QVERIFY(copyMachine(machine, root, tweaks));
        const QString names = work.filePath(QStringLiteral("sensors.ini"));
        QVERIFY(writeFile(names, fanNames));

        int exitCode = -1;
        const QByteArray document = dump(root, names, &exitCode);
        QCOMPARE(exitCode, 0);
        checkShape(document);
        bool accepted = false;
        const ST_VOVIREDO_DATA data = figures(document, &accepted);
        QVERIFY(accepted);
        QCOMPARE(data.cputmp, cputmp);
        QCOMPARE(data.cpuload, cpuload);
        QCOMPARE(data.cpufan, cpufan);
    }

    void graphicsCards_data()
    {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<Tweaks>("tweaks");
        QTest::addColumn<QString>("library");
        QTest::addColumn<QByteArray>("gpus");
        QTest::addColumn<QStringList>("sensors");
        QTest::addColumn<QStringList>("calls");

        const QString intel = QStringLiteral("intel-z390-nct6798");
        const QString rtx = QStringLiteral("NVIDIA GeForce RTX 4080 / ");
        const QStringList rtxCore {rtx + "GPU Core (Temperature) = 54.0", rtx + "GPU Core (Load) = 37.0"};
        QTest::newRow("NVIDIA card found in sysfs") << intel << Tweaks() << QStringLiteral("full") << kRtx4080
                                                    << QStringList {rtxCore.first(),
                                                                    rtx + "GPU Fan #1 (Fan) = 1450",
                                                                    rtx + "GPU Fan #2 (Fan) = 1510",
                                                                    rtxCore.last()}
                                                    << QStringList {"nvmlInit_v2",
                                                                    "nvmlDeviceGetHandleByPciBusId_v2",
                                                                    "nvmlDeviceGetName",
                                                                    "nvmlDeviceGetNumFans",
                                                                    "nvmlDeviceGetTemperature",
                                                                    "nvmlDeviceGetUtilizationRates",
                                                                    "nvmlDeviceGetFanSpeedRPM",
                                                                    "nvmlDeviceGetFanSpeedRPM",
                                                                    "nvmlShutdown"};
        QTest::newRow("library without fan speeds in RPM")
            << intel << Tweaks() << QStringLiteral("without-fan-rpm") << kRtx4080 << rtxCore << QStringList {"any"};
        QTest::newRow("fan speed not supported")
            << intel << Tweaks() << QStringLiteral("full")
            << QByteArray("gpu 0000:01:00.0 54 37 na NVIDIA GeForce RTX 4080\n") << rtxCore << QStringList {"any"};
        QTest::newRow("a card that fails is left out")
            << intel << nvidiaCard(QStringLiteral("0000-02-00.0"), "0000:02:00.0") << QStringLiteral("full")
            << QByteArray("gpu 0000:02:00.0 lost 0 - NVIDIA GeForce RTX 3060\n") + kRtx4080
            << QStringList {rtxCore.first(),
                            rtx + "GPU Fan #1 (Fan) = 1450",
                            rtx + "GPU Fan #2 (Fan) = 1510",
                            rtxCore.last()}
            << QStringList {"any"};
        QTest::newRow("no library") << intel << Tweaks() << QString() << kRtx4080 << QStringList() << QStringList();
        QTest::newRow("driver not loaded")
            << intel << Tweaks() << QStringLiteral("full") << QByteArray("init 9\n") + kRtx4080 << QStringList()
            << QStringList {"nvmlInit_v2"};
        QTest::newRow("NVML's own list where sysfs shows none")
            << QStringLiteral("vm-no-hwmon") << Tweaks() << QStringLiteral("full")
            << QByteArray("gpu 0000:01:00.0 54 37 - NVIDIA GeForce RTX 4080\n") << rtxCore << QStringList {"any"};
        QTest::newRow("NVIDIA card asleep")
            << intel << Tweaks {write(kNvidiaDevice + "power/runtime_status", "suspended\n")} << QStringLiteral("full")
            << kRtx4080 << QStringList() << QStringList();
        QTest::newRow("NVIDIA card resuming")
            << intel << Tweaks {write(kNvidiaDevice + "power/runtime_status", "resuming\n")} << QStringLiteral("full")
            << kRtx4080 << QStringList() << QStringList();

        const QString amd = QStringLiteral("amd-x570-k10temp");
        const QStringList amdgpu {"amdgpu / edge (Temperature) = 45.0",
                                  "amdgpu / junction (Temperature) = 48.0",
                                  "amdgpu / mem (Temperature) = 50.0",
                                  "amdgpu / GPU Fan (Fan) = 1850",
                                  "amdgpu / GPU Core (Load) = 23.0"};
        QTest::newRow("amdgpu with its load")
            << amd << Tweaks() << QString() << QByteArray() << amdgpu << QStringList();
        QTest::newRow("amdgpu without gpu_busy_percent")
            << amd << Tweaks {removal(kAmdgpuDevice + "gpu_busy_percent")} << QString() << QByteArray()
            << QStringList(amdgpu.mid(0, 4)) << QStringList();
        QTest::newRow("amdgpu asleep") << amd << Tweaks {write(kAmdgpuDevice + "power/runtime_status", "suspended\n")}
                                       << QString() << QByteArray() << QStringList() << QStringList();
    }

    void graphicsCards()
    {
        QFETCH(QString, machine);
        QFETCH(Tweaks, tweaks);
        QFETCH(QString, library);
        QFETCH(QByteArray, gpus);
        QFETCH(QStringList, sensors);
        QFETCH(QStringList, calls);

        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("machine"));
        QVERIFY(copyMachine(machine, root, tweaks));
        const QString gpusFile = work.filePath(QStringLiteral("gpus"));
        QVERIFY(writeFile(gpusFile, gpus));
        const QString callsFile = work.filePath(QStringLiteral("calls"));
        int exitCode = -1;
        QByteArray errors;
        const QByteArray document =
            dump(root, QStringLiteral("/dev/null"), &exitCode, withNvml(library, gpusFile, callsFile), &errors);
        QCOMPARE(exitCode, 0);
        checkShape(document);
        QCOMPARE(gpuSensors(document), sensors);
        if (calls != QStringList {"any"}) {
            QCOMPARE(callsIn(callsFile), calls);
        }
        // Whatever NVML does, the CPU's figures are what they are without it.
        bool accepted = false;
        const ST_VOVIREDO_DATA data = figures(document, &accepted);
        const ST_VOVIREDO_DATA alone = figures(dump(root, QStringLiteral("/dev/null")), &accepted);
        QCOMPARE(data.cputmp, alone.cputmp);
        QCOMPARE(data.cpufan, alone.cpufan);
        // A missing library or driver is told once, and only where an NVIDIA card is there to be read.
        QVERIFY2(errors.count('\n') <= 1, errors.constData());
        bool nvidiaCard = false;
        const QDir devices(root + QStringLiteral("/sys/bus/pci/devices"));
        for (const QString& device : devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile vendor(devices.filePath(device + QStringLiteral("/vendor")));
            QFile type(devices.filePath(device + QStringLiteral("/class")));
            nvidiaCard = nvidiaCard || (vendor.open(QIODevice::ReadOnly) && vendor.readAll().trimmed() == "0x10de" &&
                                        type.open(QIODevice::ReadOnly) && type.readAll().startsWith("0x03"));
        }
        const bool nvmlFails = library.isEmpty() || gpus.startsWith("init");
        QCOMPARE(errors.contains("no NVIDIA figures"), nvidiaCard && nvmlFails);
    }

    // While a card sleeps, neither NVML nor any of its sensor files is touched; awake, it is read; and where it may
    // sleep when idle, it is read once per autosuspend delay and a second, NVML closed in between.
    void sleepingCardsStayAsleep()
    {
        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("machine"));
        QVERIFY(copyMachine(
            QStringLiteral("amd-x570-k10temp"), root, nvidiaCard(QStringLiteral("0000-01-00.0"), "0000:01:00.0")));
        QVERIFY(setPower(root, "suspended", "auto"));
        const QString gpusFile = work.filePath(QStringLiteral("gpus"));
        QVERIFY(writeFile(gpusFile, kRtx4080));
        const QString callsFile = work.filePath(QStringLiteral("calls"));

        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        const auto closeWatch = qScopeGuard([watch]() { ::close(watch); });
        for (const char* file : {"hwmon/hwmon0/temp1_input", "hwmon/hwmon0/fan1_input", "gpu_busy_percent"}) {
            const QString path = root + QLatin1Char('/') + kAmdgpuDevice + QLatin1String(file);
            QVERIFY(::inotify_add_watch(watch, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS) >= 0);
        }
        const auto fileEvents = [watch]() {
            int events = 0;
            alignas(inotify_event) char buffer[4096];
            for (ssize_t got; (got = ::read(watch, buffer, sizeof buffer)) > 0;) {
                for (char* at = buffer; at < buffer + got; at += sizeof(inotify_event) + ((inotify_event*)at)->len) {
                    ++events;
                }
            }
            return events;
        };

        serve(root, {}, withNvml(QStringLiteral("full"), gpusFile, callsFile));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(gpuSensors(request(SensorProtocol::kReadRequest)), QStringList());
        }
        QCOMPARE(fileEvents(), 0);
        QCOMPARE(callsIn(callsFile), QStringList());

        QVERIFY(setPower(root, "active", "on"));
        QStringList awake = gpuSensors(request(SensorProtocol::kReadRequest));
        QCOMPARE(awake.filter(QStringLiteral("amdgpu / ")).size(), 5);
        QCOMPARE(awake.filter(QStringLiteral("NVIDIA GeForce RTX 4080 / ")).size(), 4);
        QVERIFY(fileEvents() > 0);
        QVERIFY(callsIn(callsFile).contains(QStringLiteral("nvmlDeviceGetTemperature")));
    }

    // A card that may sleep when idle is read once per autosuspend delay and a second of the reader's clock, however
    // often it is asked, its last figures standing in between and NVML closed; asleep, it is left out and untouched;
    // awake again, it is read at once. NVML is the stand-in, found through this program's run path.
    void cardsPacedByTheReadersClock()
    {
        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("machine"));
        QVERIFY(copyMachine(
            QStringLiteral("amd-x570-k10temp"), root, nvidiaCard(QStringLiteral("0000-01-00.0"), "0000:01:00.0")));
        const QString gpusFile = work.filePath(QStringLiteral("gpus"));
        const QString callsFile = work.filePath(QStringLiteral("calls"));
        QVERIFY(writeFile(gpusFile, kRtx4080));
        qputenv("NVML_STANDIN_GPUS", QFile::encodeName(gpusFile));
        qputenv("NVML_STANDIN_CALLS", QFile::encodeName(callsFile));
        const QString temperature = root + QStringLiteral("/sys/class/hwmon/hwmon0/temp1_input");

        qint64 now = 0;
        HwmonReader hwmon(root + QStringLiteral("/sys"), [&now]() { return now; });
        NvidiaReader nvidia(root + QStringLiteral("/sys"), [&now]() { return now; });
        // The amdgpu's first temperature (-1: the card is left out) and the NVIDIA cards read, at `ms`.
        const auto readAt = [&](qint64 ms) {
            now = ms;
            double amd = -1;
            for (const HwmonChip& chip : hwmon.read()) {
                if (chip.name == QLatin1String("amdgpu") && !chip.temps.isEmpty()) {
                    amd = chip.temps.first().value;
                }
            }
            return qMakePair(amd, nvidia.read().size());
        };
        const auto nvmlReads = [&]() { return callsIn(callsFile).count(QStringLiteral("nvmlDeviceGetTemperature")); };

        QVERIFY(setPower(root, "suspended", "auto"));
        QCOMPARE(readAt(0), qMakePair(-1.0, 0));
        QCOMPARE(callsIn(callsFile), QStringList());

        QVERIFY(setPower(root, "active", "auto"));
        QVERIFY(writeFile(temperature, "40000\n"));
        QCOMPARE(readAt(100), qMakePair(40.0, 1));
        QVERIFY(writeFile(temperature, "50000\n"));
        for (qint64 ms : {500, 1000, 2099}) {
            QCOMPARE(readAt(ms), qMakePair(40.0, 1));
        }
        QCOMPARE(nvmlReads(), 1);
        QCOMPARE(readAt(2100), qMakePair(50.0, 1));
        QCOMPARE(nvmlReads(), 2);
        const QStringList calls = callsIn(callsFile);
        QCOMPARE(calls.count(QStringLiteral("nvmlInit_v2")), 2);
        QCOMPARE(calls.count(QStringLiteral("nvmlShutdown")), 2);

        QVERIFY(setPower(root, "suspended", "auto"));
        QVERIFY(writeFile(temperature, "60000\n"));
        QCOMPARE(readAt(2500), qMakePair(-1.0, 0));
        QVERIFY(setPower(root, "active", "auto"));
        QCOMPARE(readAt(2600), qMakePair(60.0, 1));
        QCOMPARE(nvmlReads(), 3);
        qunsetenv("NVML_STANDIN_GPUS");
        qunsetenv("NVML_STANDIN_CALLS");
    }

    // Nothing to read at all still gives a document.
    void emptyMachine()
    {
        QTemporaryDir empty;
        int exitCode = -1;
        const QByteArray document =
            dump(empty.path() + QStringLiteral("/none"), QStringLiteral("/dev/null"), &exitCode);
        QCOMPARE(exitCode, 0);
        checkShape(document);
        bool accepted = false;
        const ST_VOVIREDO_DATA data = figures(document, &accepted);
        QVERIFY(accepted);
        QCOMPARE(data.cputmp, 0);
        QCOMPARE(data.cpuload, 0);
        QCOMPARE(data.cpufan, 0);
    }

    // Without --fan-names the user's names come from $XDG_CONFIG_HOME/orvane/sensors.ini.
    void fanNamesFromConfigHome()
    {
        QTemporaryDir config;
        QVERIFY(QDir(config.path()).mkpath(QStringLiteral("orvane")));
        QVERIFY(writeFile(config.filePath(QStringLiteral("orvane/sensors.ini")), "[nct6798]\nfan2=CPU Fan\n"));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        process.setProcessEnvironment(env);
        const QString root = fixture(QStringLiteral("intel-z390-nct6798"));
        process.start(mProgram,
                      {QStringLiteral("--dump"),
                       QStringLiteral("--sysfs-root"),
                       root + QStringLiteral("/sys"),
                       QStringLiteral("--proc-root"),
                       root + QStringLiteral("/proc")});
        QVERIFY(process.waitForFinished(10000));
        bool accepted = false;
        QCOMPARE(figures(process.readAllStandardOutput(), &accepted).cpufan, 1150);
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("dump and a name") << QStringList {"--dump", kServerName};
        QTest::newRow("two names") << QStringList {"a", "b"};
    }

    void badArguments()
    {
        QFETCH(QStringList, arguments);
        QProcess process;
        process.start(mProgram, arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 1);
    }

    // Any number of requests, one connection each, on a socket only this user can use; the stop request ends it.
    void serves()
    {
        QProcess* server = serve(fixture(QStringLiteral("msi-b550-nct6687")));
        const QString socketPath = SensorEndpoint::serverSocketName();
        QVERIFY(socketPath.startsWith(mRuntimeDir.path()));
        const QFileInfo socketInfo(socketPath);
        QVERIFY(socketInfo.exists());
        QCOMPARE(socketInfo.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                                             QFile::WriteOther | QFile::ExeOther),
                 QFile::Permissions());

        for (int i = 0; i < 3; ++i) {
            bool closed = false;
            const QByteArray document = request(SensorProtocol::kReadRequest, &closed);
            QVERIFY(closed);
            bool accepted = false;
            const ST_VOVIREDO_DATA data = figures(document, &accepted);
            QVERIFY(accepted);
            QCOMPARE(data.cputmp, 48);
            QCOMPARE(data.cpufan, 1020);
        }

        // Several clients at once.
        QList<QLocalSocket*> sockets;
        for (int i = 0; i < 5; ++i) {
            auto* socket = new QLocalSocket(this);
            socket->connectToServer(socketPath);
            QVERIFY(socket->waitForConnected(5000));
            sockets << socket;
        }
        for (QLocalSocket* socket : qAsConst(sockets)) {
            socket->write(SensorProtocol::kReadRequest);
        }
        for (QLocalSocket* socket : qAsConst(sockets)) {
            QByteArray reply;
            while (socket->state() == QLocalSocket::ConnectedState && socket->waitForReadyRead(5000)) {
                reply += socket->readAll();
            }
            reply += socket->readAll();
            bool accepted = false;
            QCOMPARE(figures(reply, &accepted).cpufan, 1020);
            delete socket;
        }

        // Something else is turned away without an answer, and the server goes on.
        bool closed = false;
        QCOMPARE(request("hello there", &closed), QByteArray());
        QVERIFY(closed);
        QVERIFY(request(SensorProtocol::kReadRequest).contains("</Computer>"));

        QVERIFY(!request(SensorProtocol::kStopRequest).isEmpty());
        QVERIFY(server->waitForFinished(5000));
        QCOMPARE(server->exitStatus(), QProcess::NormalExit);
        QCOMPARE(server->exitCode(), 0);
        QVERIFY(!QFile::exists(socketPath));
    }

    // One accept that fails (no descriptor left) leaves the server listening: the client that waited and the next
    // one are both served.
    void acceptFailureIsSurvived()
    {
        QProcess server;
        server.start(mProgram,
                     {QStringLiteral("--sysfs-root"),
                      fixture(QStringLiteral("msi-b550-nct6687")) + QStringLiteral("/sys"),
                      kServerName});
        QVERIFY(server.waitForStarted(5000));
        server.setReadChannel(QProcess::StandardError);
        QTRY_VERIFY_WITH_TIMEOUT(request(SensorProtocol::kReadRequest).contains("</Computer>"), 5000);
        TestSupport::DescriptorsExhausted exhausted(server.processId());
        QVERIFY(exhausted.ok());

        QLocalSocket waiting;
        waiting.connectToServer(SensorEndpoint::serverSocketName());
        QVERIFY(waiting.waitForConnected(5000));
        waiting.write(SensorProtocol::kReadRequest);
        QVERIFY(QTest::qWaitFor([&]() { return server.peek(4096).contains("cannot accept"); }, 5000));
        exhausted.restore();

        QByteArray reply;
        while (waiting.state() == QLocalSocket::ConnectedState && waiting.waitForReadyRead(5000)) {
            reply += waiting.readAll();
        }
        QVERIFY(reply.contains("</Computer>"));
        QVERIFY(request(SensorProtocol::kReadRequest).contains("</Computer>"));
        server.terminate();
        QVERIFY(server.waitForFinished(5000));
    }

    // A client that sends the stop request and closes its own side at once still gets the answer.
    void stopAnsweredAfterHalfClose()
    {
        QProcess* server = serve(fixture(QStringLiteral("msi-b550-nct6687")));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        struct sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(SensorEndpoint::serverSocketName());
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        QCOMPARE(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        QCOMPARE(::write(fd, SensorProtocol::kStopRequest, 10), ssize_t(10));
        QCOMPARE(::shutdown(fd, SHUT_WR), 0);
        char answer[64];
        const ssize_t got = ::read(fd, answer, sizeof answer);
        ::close(fd);
        QVERIFY(got > 0);
        QVERIFY(server->waitForFinished(5000));
        QCOMPARE(server->exitCode(), 0);
    }

    // A socket path taken by something else is left alone, with one clear error.
    void socketPathTaken_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("folder") << true;
        QTest::newRow("file") << false;
    }

    void socketPathTaken()
    {
        QFETCH(bool, folder);
        const QString path = SensorEndpoint::serverSocketName();
        QVERIFY(folder ? QDir().mkdir(path) : writeFile(path, "mine"));
        QProcess server;
        server.start(mProgram, {QStringLiteral("--sysfs-root"), QStringLiteral("/nonexistent"), kServerName});
        QVERIFY(server.waitForFinished(5000));
        QCOMPARE(server.exitCode(), 1);
        QVERIFY(QString::fromLocal8Bit(server.readAllStandardError()).contains(QLatin1String("is taken by a")));
        QVERIFY(folder ? QFileInfo(path).isDir() && QDir().rmdir(path) : QFile(path).remove());
    }

    // The load covers the time since the previous request: busy time without idle, iowait and guest time.
    void loadSinceLastRequest()
    {
        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("machine"));
        QVERIFY(copyMachine(QStringLiteral("vm-no-hwmon"), root));
        const QString stat = root + QStringLiteral("/proc/stat");
        // user nice system idle iowait irq softirq steal guest guest_nice
        QVERIFY(writeFile(stat,
                          "cpu  1000 0 1000 8000 0 0 0 0 0 0\n"
                          "cpu0 500 0 500 4000 0 0 0 0 0 0\n"
                          "cpu1 500 0 500 4000 0 0 0 0 0 0\n"));
        serve(root);
        // 400 busy of 1000: user +300 (200 of it guest), system +100, idle +500, iowait +100.
        QVERIFY(writeFile(stat,
                          "cpu  1300 0 1100 8500 100 0 0 0 200 0\n"
                          "cpu0 800 0 600 4000 100 0 0 0 200 0\n"
                          "cpu1 500 0 500 4500 0 0 0 0 0 0\n"));
        QByteArray document = request(SensorProtocol::kReadRequest);
        bool accepted = false;
        QCOMPARE(figures(document, &accepted).cpuload, 40);
        QVERIFY(document.contains("Name=\"CPU Thread #1\" SensorType=\"Load\" Value=\"80.0\""));
        QVERIFY(document.contains("Name=\"CPU Thread #2\" SensorType=\"Load\" Value=\"0.0\""));

        QTest::qWait(150);
        // 900 busy of 1000.
        QVERIFY(writeFile(stat,
                          "cpu  2200 0 1100 8600 100 0 0 0 200 0\n"
                          "cpu0 1250 0 600 4050 100 0 0 0 200 0\n"
                          "cpu1 950 0 500 4550 0 0 0 0 0 0\n"));
        document = request(SensorProtocol::kReadRequest);
        QCOMPARE(figures(document, &accepted).cpuload, 90);
    }

    // Sensor devices that come and go between requests.
    void devicesComeAndGo()
    {
        QTemporaryDir work;
        const QString root = work.filePath(QStringLiteral("machine"));
        QVERIFY(copyMachine(QStringLiteral("msi-b550-nct6687"), root));
        serve(root);
        const QString hwmon = root + QStringLiteral("/sys/class/hwmon");
        const QString aside = work.filePath(QStringLiteral("aside"));
        bool accepted = false;

        QCOMPARE(figures(request(SensorProtocol::kReadRequest), &accepted).cpufan, 1020);
        QVERIFY(QFile::rename(hwmon + QStringLiteral("/hwmon2"), aside));
        QByteArray document = request(SensorProtocol::kReadRequest);
        checkShape(document);
        QCOMPARE(figures(document, &accepted).cpufan, 0);
        QCOMPARE(figures(document, &accepted).cputmp, 48);

        QVERIFY(QFile::rename(hwmon, hwmon + QStringLiteral(".gone")));
        document = request(SensorProtocol::kReadRequest);
        checkShape(document);
        QCOMPARE(figures(document, &accepted).cputmp, 0);

        QVERIFY(QFile::rename(hwmon + QStringLiteral(".gone"), hwmon));
        QVERIFY(QFile::rename(aside, hwmon + QStringLiteral("/hwmon7")));
        QCOMPARE(figures(request(SensorProtocol::kReadRequest), &accepted).cpufan, 1020);
    }

    // A socket left by a server that was killed is taken over; one that still answers is not.
    void oneServerPerSocket()
    {
        const QString root = fixture(QStringLiteral("intel-z390-nct6798"));
        QProcess* first = serve(root);
        QVERIFY(request(SensorProtocol::kReadRequest).contains("</Computer>"));

        QProcess second;
        second.start(mProgram, {QStringLiteral("--sysfs-root"), root + QStringLiteral("/sys"), kServerName});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 2);
        QVERIFY(request(SensorProtocol::kReadRequest).contains("</Computer>"));

        first->kill();
        QVERIFY(first->waitForFinished(5000));
        QVERIFY(QFile::exists(SensorEndpoint::serverSocketName()));
        serve(root);
        bool accepted = false;
        QCOMPARE(figures(request(SensorProtocol::kReadRequest), &accepted).cputmp, 46);
    }

    // Asked to terminate, the server removes its socket on the way out.
    void terminates()
    {
        QProcess* server = serve(fixture(QStringLiteral("vm-no-hwmon")));
        QVERIFY(QFile::exists(SensorEndpoint::serverSocketName()));
        server->terminate();
        QVERIFY(server->waitForFinished(5000));
        QCOMPARE(server->exitStatus(), QProcess::NormalExit);
        QCOMPARE(server->exitCode(), 0);
        QVERIFY(!QFile::exists(SensorEndpoint::serverSocketName()));
    }

    // When the program that started it is gone, the server ends too.
    void endsWithItsParent()
    {
        const QString root = fixture(QStringLiteral("vm-no-hwmon"));
        QProcess shell;
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"),
                     QStringLiteral("'%1' --sysfs-root '%2/sys' --proc-root '%2/proc' %3 </dev/null >/dev/null & "
                                    "echo $!; sleep 0.5")
                         .arg(mProgram, root, kServerName)});
        QVERIFY(shell.waitForFinished(10000));
        const qint64 pid = shell.readAllStandardOutput().trimmed().toLongLong();
        QVERIFY(processRunning(pid));
        QTRY_VERIFY_WITH_TIMEOUT(!processRunning(pid), 8000);
        QVERIFY(!QFile::exists(SensorEndpoint::serverSocketName()));
    }
};

QTEST_GUILESS_MAIN(TestSensorServer)
#include "test_sensorserver.moc"
