// SPDX-License-Identifier: GPL-3.0-or-later
// VOViredo for Linux: reads hwmon, the thermal zones and /proc/stat and serves them as a sensor document.
#include "fanmap.h"
#include "lifetime.h"
#include "sensorcollector.h"
#include "sensorendpoint.h"
#include "sensorserver.h"
#include "terminationsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <csignal>
#include <cstdio>

namespace {
enum ExitCode {
    Success = 0,
    Failure = 1,
    AlreadyRunning = 2,
};

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VOViredo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Sensor server of Orvane: CPU temperature, CPU load and fan speeds as an XML document."));
    parser.addHelpOption();
    const QCommandLineOption dumpOption(QStringLiteral("dump"), QStringLiteral("Print one document and exit."));
    const QCommandLineOption sysfsOption(QStringLiteral("sysfs-root"),
                                         QStringLiteral("Read DIR in place of /sys."),
                                         QStringLiteral("DIR"),
                                         QStringLiteral("/sys"));
    const QCommandLineOption procOption(QStringLiteral("proc-root"),
                                        QStringLiteral("Read DIR in place of /proc."),
                                        QStringLiteral("DIR"),
                                        QStringLiteral("/proc"));
    const QCommandLineOption mapOption(
        QStringLiteral("fan-names"),
        QStringLiteral("Read the names of the fans from FILE (default: %1).").arg(FanMap::defaultPath()),
        QStringLiteral("FILE"),
        FanMap::defaultPath());
    parser.addOptions({dumpOption, sysfsOption, procOption, mapOption});
    parser.addPositionalArgument(QStringLiteral("NAME"), QStringLiteral("Serve on the local socket NAME."));
    parser.process(app);

    const QStringList names = parser.positionalArguments();
    const bool dump = parser.isSet(dumpOption);
    if (dump == !names.isEmpty() || names.size() > 1) {
        std::fprintf(stderr, "VOViredo: give either --dump or one socket NAME (see --help)\n");
        return Failure;
    }

    SensorCollector collector(withoutTrailingSlash(parser.value(sysfsOption)),
                              withoutTrailingSlash(parser.value(procOption)),
                              parser.value(mapOption));
    if (dump) {
        const QByteArray document = collector.document();
        std::fwrite(document.constData(), 1, size_t(document.size()), stdout);
        return std::fflush(stdout) == 0 ? Success : Failure;
    }

    // A client that goes away in the middle of a reply must not end the server.
    std::signal(SIGPIPE, SIG_IGN);
    const QString socketName = SensorEndpoint::socketName(names.first());
    if (socketName.isEmpty()) {
        std::fprintf(stderr, "VOViredo: no private runtime folder for the socket\n");
        return Failure;
    }
    // Before listening: once a client can connect, a request to terminate must take the clean way out.
    // SIGTERM, SIGINT and SIGHUP quit the event loop, so that the socket is removed on the way out.
    onTerminationSignals(&app, []() { QCoreApplication::quit(); });
    Lifetime::quitWhenParentEnds(&app);
    SensorServer server(collector);
    QString error;
    const SensorServer::Listen result = server.listen(socketName, &error);
    if (result != SensorServer::Listen::Ok) {
        std::fprintf(stderr, "VOViredo: %s\n", qUtf8Printable(error));
        return result == SensorServer::Listen::AlreadyRunning ? AlreadyRunning : Failure;
    }
    QObject::connect(&server, &SensorServer::stopRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    return app.exec();
}
