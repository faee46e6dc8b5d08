// SPDX-License-Identifier: GPL-3.0-or-later
// The device frames and reply checks against fixed byte vectors, and the scrambler against the device's own
// descrambler (written separately, in the simulator) for every seed.
#include "descrambler.h"
#include "usbprotocol.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
QByteArray bytes(const char* hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray padded(const QByteArray& head, int size = 64)
{
    QByteArray frame = head;
    frame.append(QByteArray(size - head.size(), '\0'));
    return frame;
}
} // namespace

class TestUsbProtocol : public QObject
{
    Q_OBJECT

private slots:
    void requests();
    void valueFrame_data();
    void valueFrame();
    void frameIndexWraps();
    void scrambler_data();
    void scrambler();
    void scramblerKeepsHeaderAndLength_data();
    void scramblerKeepsHeaderAndLength();
    void scramblerDoesNotTouchIndex();
    void descramblerUndoesEverySeed();
    void versionReply_data();
    void versionReply();
    void seedReply_data();
    void seedReply();
};

void TestUsbProtocol::requests()
{
    USBProtocol protocol;
    QCOMPARE(protocol.GenerateScramblerSeed(), padded(bytes("0181E3")));
    QCOMPARE(protocol.GenerateHardWareVersion(), padded(bytes("0181E4")));
    // Requests do not use the value frames' index.
    QCOMPARE(protocol.GenerateShowDevInfo(0, 0, 0).at(3), '\0');
}

void TestUsbProtocol::valueFrame_data()
{
    QTest::addColumn<int>("temp");
    QTest::addColumn<int>("fan");
    QTest::addColumn<int>("load");
    QTest::addColumn<QByteArray>("values");

    QTest::newRow("typical") << 45 << 1500 << 12 << bytes("2D05DC0C");
    QTest::newRow("highest clamped values") << 99 << 2000 << 100 << bytes("6307D064");
    QTest::newRow("zeros") << 0 << 0 << 0 << bytes("00000000");
    QTest::newRow("fan high byte only") << 1 << 256 << 1 << bytes("01010001");
    // Unclamped input keeps its low bits: the builder does not check.
    QTest::newRow("low bits kept") << 300 << 70000 << 257 << bytes("2C117001");
    QTest::newRow("negative") << -1 << -1 << -1 << bytes("FFFFFFFF");
}

void TestUsbProtocol::valueFrame()
{
    QFETCH(int, temp);
    QFETCH(int, fan);
    QFETCH(int, load);
    QFETCH(QByteArray, values);

    USBProtocol protocol;
    const QByteArray frame = protocol.GenerateShowDevInfo(temp, fan, load);
    QCOMPARE(frame, padded(bytes("0186E000") + values));
}

void TestUsbProtocol::frameIndexWraps()
{
    USBProtocol protocol;
    for (int n = 0; n < 300; ++n) {
        const QByteArray frame = protocol.GenerateShowDevInfo(45, 1500, 12);
        QCOMPARE(uchar(frame.at(3)), uchar(n % 256));
    }
    // The 256th frame carries 255, the 257th 0 again: checked above at n = 255 and n = 256.
}

void TestUsbProtocol::scrambler_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("scrambled");

    QTest::newRow("seed 0 keeps zeros") << 0 << QByteArray(61, '\0') << QByteArray(61, '\0');
    // The new bit enters at weight 2: a shift-in at bit 0 would give 84 here.
    QTest::newRow("seed 0, 80 00") << 0 << bytes("8000") << bytes("898B");
    // Odd seed: its bit 0 and the first f = 1 carry into bit 2.
    QTest::newRow("seed 1, 80 00") << 1 << bytes("8000") << bytes("9317");
    QTest::newRow("seed FF, zeros turn non-zero") << 0xFF << bytes("000000") << bytes("077964");
    QTest::newRow("seed 5A, value body") << 0x5A << bytes("002D05DC0C") << bytes("831A997968");
}

void TestUsbProtocol::scrambler()
{
    QFETCH(int, seed);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, scrambled);

    USBProtocol protocol;
    const QByteArray header = bytes("0186E0");
    QCOMPARE(protocol.Scrambler(uchar(seed), header + body), header + scrambled);
}

void TestUsbProtocol::scramblerKeepsHeaderAndLength_data()
{
    QTest::addColumn<QByteArray>("src");
    QTest::addColumn<QByteArray>("header");

    QTest::newRow("empty") << QByteArray() << bytes("000000");
    QTest::newRow("one byte") << bytes("01") << bytes("010000");
    QTest::newRow("two bytes") << bytes("0186") << bytes("018600");
    QTest::newRow("header only") << bytes("0186E0") << bytes("0186E0");
    QTest::newRow("frame") << padded(bytes("0186E0FF2D05DC0C")) << bytes("0186E0");
}

void TestUsbProtocol::scramblerKeepsHeaderAndLength()
{
    QFETCH(QByteArray, src);
    QFETCH(QByteArray, header);

    USBProtocol protocol;
    for (int seed : {0, 1, 0x80, 0xE3, 0xFF}) {
        const QByteArray out = protocol.Scrambler(uchar(seed), src);
        QCOMPARE(out.size(), qMax(3, src.size()));
        QCOMPARE(out.left(3), header);
    }
}

void TestUsbProtocol::scramblerDoesNotTouchIndex()
{
    USBProtocol protocol;
    protocol.GenerateShowDevInfo(1, 2, 3);
    protocol.Scrambler(7, padded(bytes("0186E0")));
    QCOMPARE(uchar(protocol.GenerateShowDevInfo(1, 2, 3).at(3)), uchar(1));
}

void TestUsbProtocol::descramblerUndoesEverySeed()
{
    USBProtocol protocol;
    QRandomGenerator random(20240611);
    for (int seed = 0; seed < 256; ++seed) {
        for (int round = 0; round < 4; ++round) {
            QByteArray frame =
                round == 0 ? protocol.GenerateShowDevInfo(seed % 100, seed * 8, seed % 101) : padded(bytes("0186E0"));
            for (int i = 3; round > 0 && i < frame.size(); ++i) {
                frame[i] = char(random.bounded(256));
            }
            const QByteArray scrambled = protocol.Scrambler(uchar(seed), frame);
            QByteArray undone(scrambled.size(), '\0');
            devsim::descramble(uint8_t(seed),
                               reinterpret_cast<const uint8_t*>(scrambled.constData()),
                               reinterpret_cast<uint8_t*>(undone.data()),
                               size_t(scrambled.size()));
            QVERIFY2(undone == frame, qPrintable(QStringLiteral("seed %1 round %2").arg(seed).arg(round)));
        }
    }
}

void TestUsbProtocol::versionReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("version");

    const QByteArray text = QByteArrayLiteral("DSP-V1.0.07");
    QTest::newRow("13 non-zero, then zeros") << padded(bytes("E40B") + text) << text;
    QTest::newRow("13 non-zero, ends there") << bytes("E40B") + text << text;
    QTest::newRow("report number first") << padded(bytes("01E4") + text) << text;
    QTest::newRow("12 non-zero") << padded(bytes("E40B") + text.left(10)) << QByteArray();
    QTest::newRow("14 non-zero") << padded(bytes("E40B") + text + "+") << QByteArray();
    QTest::newRow("zero at byte 1") << padded(bytes("E400") + text) << QByteArray();
    QTest::newRow("all non-zero") << QByteArray(64, 'x') << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestUsbProtocol::versionReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, version);

    USBProtocol protocol;
    QCOMPARE(protocol.CheckResHardWareVersion(reply), version);
}

void TestUsbProtocol::seedReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("seed");

    QTest::newRow("marker at 0") << padded(bytes("E35A")) << bytes("5A");
    QTest::newRow("marker at 0 and 1") << padded(bytes("E3E37F")) << bytes("E3");
    QTest::newRow("marker at 1") << padded(bytes("01E35A")) << bytes("5A");
    QTest::newRow("seed 0 after marker") << padded(bytes("01E300")) << bytes("00");
    QTest::newRow("no marker") << padded(bytes("01E25A")) << QByteArray();
    QTest::newRow("marker at 2 only") << padded(bytes("0101E35A")) << QByteArray();
    QTest::newRow("marker is the last byte") << bytes("01E3") << QByteArray();
    QTest::newRow("marker alone") << bytes("E3") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestUsbProtocol::seedReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, seed);

    USBProtocol protocol;
    QCOMPARE(protocol.CheckResScrambleSeen(reply), seed);
}

QTEST_APPLESS_MAIN(TestUsbProtocol)
#include "test_usbprotocol.moc"
