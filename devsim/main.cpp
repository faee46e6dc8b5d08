// SPDX-License-Identifier: GPL-3.0-or-later
// orvane-devsim: the display device as a process, reached by programs that preload libhidapi_sim.so.
#include "commands.h"
#include "devicemodel.h"
#include "displaydevice.h"
#include "simserver.h"
#include "socketpath.h"
#include "terminationsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void printLine(FILE* stream, const std::string& line)
{
    std::fputs(line.c_str(), stream);
    if (line.empty() || line.back() != '\n') {
        std::fputc('\n', stream);
    }
    std::fflush(stream);
}

// Reads commands from standard input. At its end the simulator keeps serving; a named FIFO is opened again, so
// that a script can send more commands later through the same FIFO.
class CommandReader : public QObject
{
public:
    CommandReader(devsim::DeviceModel& model, devsim::SimServer& server) : mModel(model), mServer(server)
    {
        // A named FIFO only: an anonymous pipe whose writer is gone stays at its end for good.
        struct stat info = {};
        char target[64] = {};
        const bool pipeLike = ::fstat(STDIN_FILENO, &info) == 0 && S_ISFIFO(info.st_mode);
        const bool anonymous =
            ::readlink("/proc/self/fd/0", target, sizeof target - 1) > 0 && std::strncmp(target, "pipe:", 5) == 0;
        mIsFifo = pipeLike && !anonymous;
        watch(STDIN_FILENO);
    }

private:
    void watch(int fd)
    {
        mFd = fd;
        ::fcntl(mFd, F_SETFL, ::fcntl(mFd, F_GETFL) | O_NONBLOCK);
        mNotifier = new QSocketNotifier(mFd, QSocketNotifier::Read, this);
        connect(mNotifier, &QSocketNotifier::activated, this, [this] { onReadable(); });
    }

    void onReadable()
    {
        char buffer[512];
        for (;;) {
            const ssize_t n = ::read(mFd, buffer, sizeof buffer);
            if (n > 0) {
                mPending.append(buffer, int(n));
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n == 0) {
                onEnd();
            }
            break;
        }
        int newline;
        while ((newline = mPending.indexOf('\n')) >= 0) {
            const std::string line = mPending.left(newline).trimmed().toStdString();
            mPending.remove(0, newline + 1);
            if (!line.empty()) {
                run(line);
            }
        }
    }

    void onEnd()
    {
        const std::string rest = mPending.trimmed().toStdString();
        mPending.clear();
        if (!rest.empty()) {
            run(rest);
        }
        mNotifier->setEnabled(false);
        mNotifier->deleteLater();
        mNotifier = nullptr;
        if (!mIsFifo) {
            return;
        }
        // Read end of our own FIFO again: the next writer's commands arrive here.
        const int fd = ::open("/proc/self/fd/0", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return;
        }
        if (mFd != STDIN_FILENO) {
            ::close(mFd);
        }
        watch(fd);
    }

    void run(const std::string& line)
    {
        std::string reply;
        const devsim::CommandResult result = devsim::applyCommand(mModel, line, &reply);
        printLine(stderr, "orvane-devsim: " + reply);
        if (result == devsim::CommandResult::Unplugged) {
            mServer.deviceChanged();
        } else if (result == devsim::CommandResult::Quit) {
            QCoreApplication::quit();
        }
    }

    devsim::DeviceModel& mModel;
    devsim::SimServer& mServer;
    QSocketNotifier* mNotifier = nullptr;
    QByteArray mPending;
    int mFd = -1;
    bool mIsFifo = false;
};

bool parseOnOff(const QString& value, bool* on)
{
    if (value == QLatin1String("on") || value == QLatin1String("off")) {
        *on = value == QLatin1String("on");
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-devsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QString::asprintf("Stands in for Orvane's USB display device (%04x:%04x). Run Orvane against it with\n",
                          DisplayDevice::kVendorId,
                          DisplayDevice::kProductId) +
        QStringLiteral(
            "  LD_PRELOAD=<build>/devsim/libhidapi_sim.so ORVANE_DEVSIM_SOCKET=PATH orvane\n"
            "It prints one line per frame it receives; a value frame whose index does not follow the last one\n"
            "says which index was expected (\"expected\":E with --json).\n\n") +
        QString::fromLatin1(devsim::kCommandHelp));
    parser.addHelpOption();
    const QCommandLineOption socketOption(QStringLiteral("socket"),
                                          QStringLiteral("Listen on PATH (default: $ORVANE_DEVSIM_SOCKET, else "
                                                         "orvane-devsim.sock in the runtime directory)."),
                                          QStringLiteral("PATH"));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        QStringLiteral("One JSON object per received frame: seed, version, value "
                                                       "(descrambled index, temp, fan, load) or bad-frame, with \"t\": "
                                                       "the arrival in ms of the monotonic clock."));
    const QCommandLineOption absentOption(QStringLiteral("absent"), QStringLiteral("Start unplugged."));
    const QCommandLineOption silentOption(QStringLiteral("silent"), QStringLiteral("Start without answering."));
    const QCommandLineOption delayOption(QStringLiteral("delay"),
                                         QStringLiteral("Answer every frame MS milliseconds late."),
                                         QStringLiteral("MS"),
                                         QStringLiteral("0"));
    const QCommandLineOption noMarkerOption(QStringLiteral("no-marker"),
                                            QStringLiteral("Answer seed requests without the 0xE3 marker."));
    const QCommandLineOption reportIdOption(QStringLiteral("report-id"),
                                            QStringLiteral("Replies start with the report number 0x01 (on, the "
                                                           "default) or not (off)."),
                                            QStringLiteral("on|off"),
                                            QStringLiteral("on"));
    const QCommandLineOption seedOption(
        QStringLiteral("seed"),
        QStringLiteral("Hand out this seed (0-255) every time instead of a random one."),
        QStringLiteral("N"));
    const QCommandLineOption versionTextOption(QStringLiteral("version-text"),
                                               QStringLiteral("The 11-character firmware version."),
                                               QStringLiteral("TEXT"),
                                               QStringLiteral("DSP-V1.0.07"));
    const QCommandLineOption versionBytesOption(
        QStringLiteral("version-bytes"),
        QStringLiteral("Leading non-zero bytes of the version reply: 13 (valid), 12 or 14 (invalid)."),
        QStringLiteral("N"),
        QStringLiteral("13"));
    const QCommandLineOption groupOption(QStringLiteral("socket-group"),
                                         QStringLiteral("Let the members of GROUP reach the display too: the socket "
                                                        "and its device-node file become theirs to use (0660)."),
                                         QStringLiteral("GROUP"));
    parser.addOptions({socketOption,
                       groupOption,
                       jsonOption,
                       absentOption,
                       silentOption,
                       delayOption,
                       noMarkerOption,
                       reportIdOption,
                       seedOption,
                       versionTextOption,
                       versionBytesOption});
    parser.process(app);

    devsim::DeviceModel model;
    bool ok = true;
    const int delayMs = parser.value(delayOption).toInt(&ok);
    bool reportId = true;
    const int versionBytes = parser.value(versionBytesOption).toInt();
    if (!ok || delayMs < 0 || !parseOnOff(parser.value(reportIdOption), &reportId) ||
        (versionBytes < 12 || versionBytes > 14)) {
        printLine(stderr, "orvane-devsim: bad option value (see --help)");
        return 2;
    }
    if (parser.isSet(seedOption)) {
        const int seed = parser.value(seedOption).toInt(&ok, 0);
        if (!ok || seed < 0 || seed > 255) {
            printLine(stderr, "orvane-devsim: --seed needs a number from 0 to 255");
            return 2;
        }
        model.setSeed(seed);
    }
    model.setDelayMs(delayMs);
    model.setReportId(reportId);
    model.setVersionNonZeroCount(versionBytes);
    model.setVersionText(parser.value(versionTextOption).toStdString());
    model.setSilent(parser.isSet(silentOption));
    model.setSeedMarker(!parser.isSet(noMarkerOption));
    if (parser.isSet(absentOption)) {
        model.unplug();
    }

    const bool json = parser.isSet(jsonOption);
    model.setEventSink([json](const devsim::Event& event) {
        printLine(stdout, json ? devsim::toJson(event) : devsim::toText(event));
    });

    devsim::SimServer server(model);
    const QString path =
        parser.isSet(socketOption) ? parser.value(socketOption) : QString::fromStdString(devsim::defaultSocketPath());
    QString error;
    if (!server.listen(path, parser.value(groupOption), &error)) {
        printLine(stderr, "orvane-devsim: " + error.toStdString());
        return 1;
    }

    onTerminationSignals(&app, []() { QCoreApplication::quit(); });

    CommandReader commands(model, server);
    printLine(stderr, "orvane-devsim: listening on " + path.toStdString() + " (" + model.status() + ")");
    const int rc = app.exec();
    printLine(stderr, "orvane-devsim: stopped");
    return rc;
}
