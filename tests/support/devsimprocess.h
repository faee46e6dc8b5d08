// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DEVSIMPROCESS_H
#define ORVANE_DEVSIMPROCESS_H

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

// One frame the simulator reported with --json.
struct DevsimEvent
{
    QString kind;  // "seed", "version", "value" or "bad-frame"
    double t = -1; // arrival, ms of CLOCK_MONOTONIC
    int seed = -1;
    int index = -1;
    int temp = -1;
    int fan = -1;
    int load = -1;
    int expected = -1; // a value frame whose index did not follow the last one: the index that should have come
    QJsonObject raw;

    bool isValue() const { return kind == QLatin1String("value"); }
    bool isSeed() const { return kind == QLatin1String("seed"); }
    bool shows(int wantTemp, int wantFan, int wantLoad) const
    {
        return isValue() && temp == wantTemp && fan == wantFan && load == wantLoad;
    }
};

// orvane-devsim as a child process: its standard input takes commands, its diagnostics acknowledge them and its
// standard output reports the frames. Read the frames either line by line (lines, json) or as a growing event log
// (pump, events), not both.
class DevsimProcess
{
public:
    DevsimProcess() = default;
    ~DevsimProcess();
    DevsimProcess(const DevsimProcess&) = delete;
    DevsimProcess& operator=(const DevsimProcess&) = delete;

    // Starts it listening on `socketPath` and waits until it does.
    bool start(const QString& socketPath, const QStringList& extraArgs = {});
    // Ends it with SIGTERM (SIGKILL when that does not do); true when it ended by itself with code 0.
    bool stop();

    // Waits until the simulator's diagnostics contain `text` (they acknowledge every command).
    bool waitForError(const QString& text, int timeoutMs = 5000);
    // Sends a command and waits for its acknowledgement.
    bool command(const QString& line, const QString& ack);
    // The device's state as "status" prints it, or an empty text.
    QString status();
    // Handles the device holds open, or -1.
    int openHandles();

    // The next `count` lines of standard output.
    QStringList lines(int count, int timeoutMs = 5000);
    // The next JSON line without its arrival time, which must be there and never run backwards.
    QJsonObject json();

    // Reads what has arrived, waiting up to `waitMs` for something, into the event log.
    void pump(int waitMs);
    const QList<DevsimEvent>& events() const { return mEvents; }
    // Pumps until an event from position `from` of the log on satisfies `match`; its position, or -1 on time-out.
    int waitForEvent(const std::function<bool(const DevsimEvent&)>& match, int timeoutMs, int from = 0);
    // Lines that were not JSON objects, or whose arrival time was missing or ran backwards.
    const QStringList& malformedLines() const { return mMalformed; }

    QString lastError() const { return mErr; }
    QProcess& process() { return mProcess; }
    QString socketPath() const { return mSocketPath; }

private:
    QProcess mProcess;
    QString mSocketPath;
    QString mOut;
    QString mErr;
    double mLastArrival = 0;
    QList<DevsimEvent> mEvents;
    QStringList mMalformed;
};

#endif // ORVANE_DEVSIMPROCESS_H
