// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SERVERKEEPER_H
#define ORVANE_SERVERKEEPER_H

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

class QProcess;

// The sensor server processes the client started. It starts one when asked, but not while one of ours runs, and
// not again and again when each ends at once (a back-off instead); it restarts one that runs but refuses
// connections; and it ends them all, killed if need be, within a bounded time. Lives on the client's thread.
class ServerKeeper : public QObject
{
    Q_OBJECT

public:
    explicit ServerKeeper(const QString& program, QObject* parent = nullptr);

    QString program() const { return mProgram; }
    void setStartWaitMs(int ms) { mStartWaitMs = ms; }

    void start();
    // True while a server of ours runs; reaps those that ended.
    bool isRunning();
    // True while the server we started last may still be getting ready to listen.
    bool isStarting() const;
    // A reading found our running server refusing connections. The second reading in a row that does restarts it.
    void noteRefused();
    // A reading reached a server: whatever went wrong before is over.
    void noteAnswered();
    // Terminates every server of ours, and kills one that has not ended after `terminateMs`.
    void endAll(int terminateMs, int killMs);

    QList<qint64> processIds() const;

private:
    void onEnded(QProcess* process, qint64 pid, int code, bool crashed);

    QString mProgram;
    int mStartWaitMs = 30000;
    QList<QProcess*> mProcesses;
    QElapsedTimer mLastStart;
    int mStarts = 0;
    int mRefusals = 0;
    // Servers that ended soon after their start, one after the other, and when the next may be started.
    int mQuickEnds = 0;
    QDeadlineTimer mNextStart;
    bool mMissingSaid = false;
    bool mPathTakenSaid = false;
    bool mEnding = false;
};

#endif // ORVANE_SERVERKEEPER_H
