// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator as a process: the real transport reaches it through hidapi_sim over its socket, its stdin
// commands change the device, its output reports what it received, and it outlives clients and end of input.
#include "devsimprocess.h"
#include "displaydevice.h"
#include "hidapi_sim.h"
#include "simwire.h"
#include "testsupport.h"
#include "usbhidapi.h"
#include "usbprotocol.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kVid = DisplayDevice::kVendorId;
constexpr int kPid = DisplayDevice::kProductId;

// User plus system CPU time of a process, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

QJsonObject valueEvent(int index, int temp, int fan, int load)
{
    return QJsonObject {{QStringLiteral("event"), QStringLiteral("value")},
                        {QStringLiteral("index"), index},
                        {QStringLiteral("temp"), temp},
                        {QStringLiteral("fan"), fan},
                        {QStringLiteral("load"), load}};
}
} // namespace

class TestDevsim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void handshakeAndValues();
    void replyShapes();
    void silentAndLate();
    void unplugAndPlug();
    void manyClients();
    void endOfInputKeepsServing();
    void namedFifoInputOpensAgain();
    void noSimulator();
    void textOutput();
    void stopsOnSignal();

private:
    // Runs the seed handshake on `hid`, returning the seed or -1.
    int handshake(USBHidApi& hid, USBProtocol& protocol);

    QTemporaryDir mDir;
    DevsimProcess mSim;
};

void TestDevsim::initTestCase()
{
    QVERIFY(mDir.isValid());
    devsim::installModel(nullptr);
    QVERIFY(mSim.start(mDir.filePath(QStringLiteral("sim.sock")), {QStringLiteral("--json")}));
    qputenv("ORVANE_DEVSIM_SOCKET", QFile::encodeName(mSim.socketPath()));
}

void TestDevsim::cleanupTestCase()
{
    mSim.process().kill();
    mSim.process().waitForFinished();
}

int TestDevsim::handshake(USBHidApi& hid, USBProtocol& protocol)
{
    if (hid.setData(protocol.GenerateScramblerSeed()) != 0) {
        return -1;
    }
    QByteArray reply;
    if (hid.getData(reply) != 0) {
        return -1;
    }
    const QByteArray seed = protocol.CheckResScrambleSeen(reply);
    return seed.isEmpty() ? -1 : uchar(seed.at(0));
}

void TestDevsim::handshakeAndValues()
{
    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    const int seed = handshake(hid, protocol);
    QVERIFY(seed >= 0);
    QCOMPARE(mSim.json(),
             (QJsonObject {{QStringLiteral("event"), QStringLiteral("seed")}, {QStringLiteral("seed"), seed}}));

    const int values[3][3] = {{45, 1500, 12}, {99, 2000, 100}, {0, 0, 0}};
    for (int i = 0; i < 3; ++i) {
        const QByteArray frame = protocol.GenerateShowDevInfo(values[i][0], values[i][1], values[i][2]);
        QCOMPARE(hid.setData(protocol.Scrambler(uchar(seed), frame)), 0);
        QByteArray reply;
        QCOMPARE(hid.getData(reply), 0);
        QCOMPARE(mSim.json(), valueEvent(i, values[i][0], values[i][1], values[i][2]));
    }

    // With another seed the first byte comes out wrong (the state forgets the seed after 8 bits): the index
    // does not run on.
    QCOMPARE(hid.setData(protocol.Scrambler(uchar(seed ^ 0x11), protocol.GenerateShowDevInfo(45, 1500, 12))), 0);
    QByteArray reply;
    QCOMPARE(hid.getData(reply), 0);
    const QJsonObject skipped = mSim.json();
    QCOMPARE(skipped.value(QStringLiteral("expected")).toInt(-1), 3);
    QVERIFY(skipped.value(QStringLiteral("index")).toInt() != 3);
    QCOMPARE(skipped.value(QStringLiteral("temp")).toInt(), 45);

    QCOMPARE(hid.setData(QByteArray::fromHex("0181AA")), 0);
    QCOMPARE(hid.getData(reply), 0);
    const QJsonObject bad = mSim.json();
    QCOMPARE(bad.value(QStringLiteral("event")).toString(), QStringLiteral("bad-frame"));
    QCOMPARE(bad.value(QStringLiteral("bytes")).toString(), QStringLiteral("0181AA"));
    QCOMPARE(hid.closeHid(), 0);
}

void TestDevsim::replyShapes()
{
    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);

    QVERIFY(mSim.command(QStringLiteral("reportid off"), QStringLiteral("without the report number")));
    QVERIFY(mSim.command(QStringLiteral("seed 0xE3"), QStringLiteral("seed 227")));
    QCOMPARE(hid.setData(protocol.GenerateScramblerSeed()), 0);
    QByteArray reply;
    QCOMPARE(hid.getData(reply), 0);
    QCOMPARE(reply.left(2), QByteArray::fromHex("E3E3"));
    QCOMPARE(reply.size(), 64);

    QVERIFY(mSim.command(QStringLiteral("nomarker"), QStringLiteral("without the marker")));
    QCOMPARE(handshake(hid, protocol), -1);
    QVERIFY(mSim.command(QStringLiteral("marker"), QStringLiteral("carry the marker")));
    QVERIFY(mSim.command(QStringLiteral("reportid on"), QStringLiteral("start with the report number")));
    QCOMPARE(handshake(hid, protocol), 0xE3);
    QVERIFY(mSim.command(QStringLiteral("seed random"), QStringLiteral("random seed")));

    const struct
    {
        const char* command;
        QByteArray version;
    } versions[] = {{"version12", QByteArray()}, {"version14", QByteArray()}, {"version13", "DSP-V1.0.07"}};
    for (const auto& v : versions) {
        QVERIFY(mSim.command(QString::fromLatin1(v.command), QStringLiteral("leading non-zero bytes")));
        QCOMPARE(hid.setData(protocol.GenerateHardWareVersion()), 0);
        QCOMPARE(hid.getData(reply), 0);
        QCOMPARE(protocol.CheckResHardWareVersion(reply), v.version);
    }
    QVERIFY(mSim.command(QStringLiteral("bogus"), QStringLiteral("unknown command")));
    QCOMPARE(hid.closeHid(), 0);
    mSim.lines(8); // the frames of this test
}

void TestDevsim::silentAndLate()
{
    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);

    QVERIFY(mSim.command(QStringLiteral("delay 300"), QStringLiteral("delayed by 300 ms")));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(handshake(hid, protocol) >= 0);
    QVERIFY(timer.elapsed() >= 250);

    QVERIFY(mSim.command(QStringLiteral("silent"), QStringLiteral("device silent")));
    QCOMPARE(hid.setData(protocol.GenerateScramblerSeed()), 0);
    QByteArray reply("unchanged");
    QCOMPARE(hid.getData(reply), -2006);
    QCOMPARE(reply, QByteArray("unchanged"));
    QCOMPARE(hid.closeHid(), 0);

    QVERIFY(mSim.command(QStringLiteral("answer"), QStringLiteral("device answering")));
    QVERIFY(mSim.command(QStringLiteral("delay 0"), QStringLiteral("delayed by 0 ms")));
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    // The reply the silent device never sent does not turn up on the next open.
    QVERIFY(handshake(hid, protocol) >= 0);
    QCOMPARE(hid.closeHid(), 0);
    mSim.lines(3);
}

void TestDevsim::unplugAndPlug()
{
    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    QVERIFY(mSim.command(QStringLiteral("unplug"), QStringLiteral("device unplugged")));
    QCOMPARE(hid.setData(protocol.GenerateScramblerSeed()), -2005);
    QByteArray reply;
    QCOMPARE(hid.getData(reply), -2006);
    QCOMPARE(hid.closeHid(), 0);
    QCOMPARE(hid.openHid(kVid, kPid), -2004);

    QVERIFY(mSim.command(QStringLiteral("plug"), QStringLiteral("device plugged in")));
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    QVERIFY(handshake(hid, protocol) >= 0);
    QCOMPARE(hid.closeHid(), 0);
    mSim.lines(1);
}

void TestDevsim::manyClients()
{
    for (int i = 0; i < 30; ++i) {
        USBHidApi hid;
        QCOMPARE(hid.openHid(kVid, kPid), 0);
        QCOMPARE(hid.closeHid(), 0);
    }
    // Clients that open the device and vanish without closing it, as a crashing program would.
    for (int i = 0; i < 5; ++i) {
        QLocalSocket raw;
        raw.connectToServer(mSim.socketPath());
        QVERIFY(raw.waitForConnected());
        QByteArray open(1, char(devsim::wire::OpOpen));
        const quint32 size = 4;
        const quint16 ids[2] = {kVid, kPid};
        open.append(reinterpret_cast<const char*>(&size), 4).append(reinterpret_cast<const char*>(ids), 4);
        raw.write(open);
        QVERIFY(raw.waitForBytesWritten());
        while (raw.bytesAvailable() < 8) {
            QVERIFY(raw.waitForReadyRead());
        }
        QCOMPARE(raw.read(4), QByteArray(4, '\0'));
        raw.abort();
    }
    // The simulator lets go of their handles.
    bool released = false;
    for (int attempt = 0; attempt < 200 && !released; ++attempt) {
        QVERIFY(mSim.command(QStringLiteral("status"), QStringLiteral("open handles")));
        released = mSim.lastError().contains(QStringLiteral("open handles 0"));
        if (!released) {
            QTest::qWait(50);
        }
    }
    QVERIFY2(released, qPrintable(mSim.lastError()));

    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    QVERIFY(handshake(hid, protocol) >= 0);
    QCOMPARE(hid.closeHid(), 0);
    mSim.lines(1);
}

void TestDevsim::endOfInputKeepsServing()
{
    mSim.process().closeWriteChannel();
    const qint64 cpuBefore = cpuTicks(mSim.process().processId());
    QTest::qWait(500);
    QCOMPARE(mSim.process().state(), QProcess::Running);
    // It waits for clients; it does not spin on its finished input.
    QVERIFY(cpuTicks(mSim.process().processId()) - cpuBefore < 20);
    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    QVERIFY(handshake(hid, protocol) >= 0);
    QCOMPARE(hid.closeHid(), 0);
    mSim.lines(1);
}

void TestDevsim::namedFifoInputOpensAgain()
{
    const QByteArray fifo = QFile::encodeName(mDir.filePath(QStringLiteral("commands")));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    // Holding both ends lets the simulator's input open without waiting for a writer.
    const int holder = ::open(fifo.constData(), O_RDWR);
    QVERIFY(holder >= 0);
    DevsimProcess sim;
    sim.process().setStandardInputFile(QFile::decodeName(fifo));
    QVERIFY(sim.start(mDir.filePath(QStringLiteral("fifo.sock"))));
    QCOMPARE(::write(holder, "silent\n", 7), ssize_t(7));
    QVERIFY(sim.waitForError(QStringLiteral("device silent")));
    ::close(holder); // the writer goes: end of input

    // A later writer's commands still arrive.
    for (const char* command : {"answer\n", "delay 5\n"}) {
        const int writer = ::open(fifo.constData(), O_WRONLY);
        QVERIFY(writer >= 0);
        QCOMPARE(::write(writer, command, std::strlen(command)), ssize_t(std::strlen(command)));
        ::close(writer);
    }
    QVERIFY(sim.waitForError(QStringLiteral("delayed by 5 ms")));
    QVERIFY(sim.waitForError(QStringLiteral("device answering")));
    const qint64 cpuBefore = cpuTicks(sim.process().processId());
    QTest::qWait(500);
    QVERIFY(cpuTicks(sim.process().processId()) - cpuBefore < 20);
    sim.process().terminate();
    QVERIFY(sim.process().waitForFinished());
    QCOMPARE(sim.process().exitCode(), 0);
}

void TestDevsim::noSimulator()
{
    qputenv("ORVANE_DEVSIM_SOCKET", QFile::encodeName(mDir.filePath(QStringLiteral("nobody.sock"))));
    USBHidApi hid;
    QCOMPARE(hid.openHid(kVid, kPid), -2004);
    qputenv("ORVANE_DEVSIM_SOCKET", QFile::encodeName(mSim.socketPath()));
}

void TestDevsim::textOutput()
{
    DevsimProcess text;
    QVERIFY(text.start(mDir.filePath(QStringLiteral("text.sock")), {QStringLiteral("--seed"), QStringLiteral("7")}));
    qputenv("ORVANE_DEVSIM_SOCKET", QFile::encodeName(text.socketPath()));
    USBHidApi hid;
    USBProtocol protocol;
    QCOMPARE(hid.openHid(kVid, kPid), 0);
    QCOMPARE(handshake(hid, protocol), 7);
    QCOMPARE(hid.setData(protocol.Scrambler(7, protocol.GenerateShowDevInfo(45, 1500, 12))), 0);
    QByteArray reply;
    QCOMPARE(hid.getData(reply), 0);
    QCOMPARE(hid.closeHid(), 0);
    qputenv("ORVANE_DEVSIM_SOCKET", QFile::encodeName(mSim.socketPath()));

    const QStringList lines = text.lines(2);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).contains(QStringLiteral("seed 7")), qPrintable(lines.at(0)));
    QVERIFY2(lines.at(1).contains(QStringLiteral("temperature 45 C, fan 1500 RPM, load 12 %")),
             qPrintable(lines.at(1)));
    text.process().terminate();
    QVERIFY(text.process().waitForFinished());
}

void TestDevsim::stopsOnSignal()
{
    QVERIFY(QFileInfo::exists(mSim.socketPath()));
    mSim.process().terminate();
    QVERIFY(mSim.process().waitForFinished(5000));
    QCOMPARE(mSim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(mSim.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(mSim.socketPath()));

    // Its socket file, had it been left behind, would not keep the next simulator from starting.
    DevsimProcess again;
    QVERIFY(again.start(mSim.socketPath()));
    again.process().terminate();
    QVERIFY(again.process().waitForFinished());
}

QTEST_GUILESS_MAIN(TestDevsim)
#include "test_devsim.moc"
