// SPDX-License-Identifier: GPL-3.0-or-later
// Time the client's parser takes for a sensor document of about 100 kB (goal: under 2 ms), and what one whole request
// costs the worker thread with such a document (socket exchange, end-of-document check, file copy and parse).
#include "hardwareinfo.h"
#include "hardwareinfoprobe.h"
#include "sensorendpoint.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
QString sensor(const QString& name, const QString& ident, const QString& type, double value)
{
    return QStringLiteral(
               "    <Sensor Name=\"%1\" Identifier=\"%2\" SensorType=\"%3\" Value=\"%4\" Min=\"%5\" Max=\"%6\" />\n")
        .arg(name, ident, type)
        .arg(value)
        .arg(value * 0.9)
        .arg(value * 1.1);
}

// A big machine as a Windows sensor server reports it: board with its Super-I/O chip, a 32-thread CPU, graphics
// cards, disks and network adapters, until the text reaches `bytes`.
QString bigDocument(int bytes)
{
    QString doc = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Computer>\n");
    doc += QStringLiteral("  <Hardware Name=\"ASUS ROG CROSSHAIR VIII HERO\" HardwareType=\"Motherboard\">\n"
                          "   <SubHardware Name=\"Nuvoton NCT6798D\" HardwareType=\"SuperIO\">\n");
    for (int i = 0; i < 15; ++i) {
        doc += sensor(QStringLiteral("Voltage #%1").arg(i + 1),
                      QStringLiteral("/lpc/nct6798d/voltage/%1").arg(i),
                      "Voltage",
                      1.2 + i);
    }
    for (int i = 0; i < 7; ++i) {
        doc += sensor(QStringLiteral("Temperature #%1").arg(i + 1),
                      QStringLiteral("/lpc/nct6798d/temperature/%1").arg(i),
                      "Temperature",
                      30 + i);
        doc += sensor(
            QStringLiteral("Fan #%1").arg(i + 1), QStringLiteral("/lpc/nct6798d/fan/%1").arg(i), "Fan", i ? 0 : 1150.4);
        doc += sensor(QStringLiteral("Fan Control #%1").arg(i + 1),
                      QStringLiteral("/lpc/nct6798d/control/%1").arg(i),
                      "Control",
                      60);
    }
    doc += QStringLiteral("   </SubHardware>\n  </Hardware>\n");
    doc += QStringLiteral("  <Hardware Name=\"AMD Ryzen 9 5950X\" HardwareType=\"Cpu\">\n");
    for (int i = 0; i < 32; ++i) {
        doc += sensor(QStringLiteral("CPU Core #%1 Thread #%2").arg(i / 2 + 1).arg(i % 2 + 1),
                      QStringLiteral("/amdcpu/0/load/%1").arg(i + 1),
                      "Load",
                      10 + i);
        doc += sensor(
            QStringLiteral("Core #%1").arg(i + 1), QStringLiteral("/amdcpu/0/clock/%1").arg(i + 1), "Clock", 4500 + i);
    }
    doc += sensor("Core (Tctl/Tdie)", "/amdcpu/0/temperature/2", "Temperature", 61.25);
    doc += sensor("CPU Total", "/amdcpu/0/load/0", "Load", 17.8);
    doc += QStringLiteral("  </Hardware>\n");
    int n = 0;
    while (doc.size() < bytes) {
        doc += QStringLiteral("  <Hardware Name=\"Samsung SSD 980 PRO 2TB #%1\" HardwareType=\"Storage\">\n").arg(++n);
        for (int i = 0; i < 12; ++i) {
            doc += sensor(QStringLiteral("Temperature %1").arg(i + 1),
                          QStringLiteral("/nvme/%1/temperature/%2").arg(n).arg(i),
                          "Temperature",
                          40 + i);
        }
        doc += QStringLiteral("  </Hardware>\n");
    }
    doc += QStringLiteral("</Computer>\n");
    return doc;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString document = bigDocument(100 * 1024);
    const QByteArray bytes = document.toUtf8();

    HardWareInfo client;
    ST_VOVIREDO_DATA data {};
    if (!HardWareInfoProbe::parse(client, document, &data) || data.cputmp != 30 || data.cpuload != 17 ||
        data.cpufan != 1150) {
        std::fprintf(stderr, "unexpected figures %d %d %d\n", data.cputmp, data.cpuload, data.cpufan);
        return 1;
    }
    const int rounds = 300;
    std::vector<double> parseMs;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        HardWareInfoProbe::parse(client, document);
        parseMs.push_back(clock.nsecsElapsed() / 1e6);
    }

    // A whole request against a local server that answers at once.
    QTemporaryDir runtime(QStringLiteral("/tmp/orvane-XXXXXX")); // short enough for a socket path
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    QThread serverThread;
    QLocalServer* server = new QLocalServer();
    server->listen(SensorEndpoint::serverSocketName());
    QObject::connect(server, &QLocalServer::newConnection, server, [server, bytes]() {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, bytes]() {
                socket->readAll();
                socket->write(bytes);
                socket->disconnectFromServer();
            });
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    server->moveToThread(&serverThread);
    serverThread.start();

    std::vector<double> requestMs;
    for (int i = 0; i < 100; ++i) {
        QElapsedTimer clock;
        clock.start();
        QMetaObject::invokeMethod(&client, "slot_hwGetData", Qt::DirectConnection);
        requestMs.push_back(clock.nsecsElapsed() / 1e6);
    }
    QMetaObject::invokeMethod(
        server, [server]() { delete server; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();

    std::printf("sensor document: %d bytes\n", int(bytes.size()));
    std::printf("parse (parseServerData), median of %d: %.3f ms (goal < 2 ms)\n", rounds, median(parseMs));
    std::printf("whole request on the worker (exchange, copy, parse), median of 100: %.3f ms\n", median(requestMs));
    return 0;
}
