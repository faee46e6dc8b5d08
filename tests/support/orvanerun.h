// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_ORVANERUN_H
#define ORVANE_ORVANERUN_H

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// What /proc says about a running process.
struct ProcessFigures
{
    int fds = -1;
    qint64 rssKiB = -1;
    qint64 rssAnonKiB = -1; // the part of it that is not mapped files: heap and stacks
    qint64 peakKiB = -1;    // the most it was resident at any time (VmHWM)
    int threads = -1;
    // Qt's global pool: threads that come for a picture's conversion and go half a minute later, each with an
    // event descriptor.
    int pooledThreads = 0;

    bool valid() const { return fds >= 0 && rssKiB >= 0 && threads >= 0; }
    static ProcessFigures of(qint64 pid);
};

// The real program as a user runs it, on a fixture machine and against the device simulator:
// - an application folder with a copy of the built orvane and, as voviredo/VOViredo, a wrapper that execs the built
//   sensor server (so the pid stays the server's) on a copy of the machine's sysfs and proc trees;
// - its own runtime, config and temp folders (sockets, log-on entry, single-instance keys), all under one short
//   folder in /tmp, since socket paths have room for about 100 bytes;
// - libhidapi_sim.so preloaded, reaching the simulator at devsimSocket().
// The program works in the run's folder, so hardInfo.xml lands there too, and its standard error goes to a file.
class OrvaneRun
{
public:
    explicit OrvaneRun(const QString& machine = QStringLiteral("msi-b550-nct6687"));
    ~OrvaneRun();
    OrvaneRun(const OrvaneRun&) = delete;
    OrvaneRun& operator=(const OrvaneRun&) = delete;

    // Before prepare(): the program runs as this user (the test runs as root), with its own copy of everything it
    // loads and runs, and its folders this user's.
    void runAs(uint uid, uint gid)
    {
        mUid = int(uid);
        mGid = int(gid);
    }
    // Lays out the folders, the program and the wrapper. With `serverDeafToTerminate` the wrapper blocks SIGTERM
    // for the server, so that it ends only when asked over its socket or killed.
    bool prepare(bool serverDeafToTerminate = false);

    // Offscreen unless changed here (for example QT_QPA_PLATFORM=xcb and DISPLAY, or DBUS_SYSTEM_BUS_ADDRESS).
    void setEnv(const QString& name, const QString& value) { mEnv.insert(name, value); }
    void unsetEnv(const QString& name) { mEnv.remove(name); }
    bool start(const QStringList& arguments = {});
    // Another start of the program with the same environment, for the single-instance rule. Its standard error goes
    // to `errorFile` in the run's folder where one is named, else to the test's.
    QProcess* launchAnother(const QStringList& arguments = {}, const QString& errorFile = QString());
    QString fileText(const QString& name) const;
    // SIGTERM: the program's own way out. True when it ended by itself within `timeoutMs`, with code 0.
    bool terminate(int timeoutMs = 15000);

    QProcess& process() { return mProcess; }
    qint64 pid() const { return mPid; }
    QString errorOutput() const;
    bool waitForErrorOutput(const QString& text, int timeoutMs) const;

    QString root() const { return mRoot.path(); }
    QString machineDir() const { return mRoot.filePath(QStringLiteral("machine")); }
    QString runtimeDir() const { return mRoot.filePath(QStringLiteral("rt")); }
    QString serverSocket() const;
    QString devsimSocket() const { return mRoot.filePath(QStringLiteral("sim.sock")); }

    // Sensor server processes whose parent is this program (zombies not counted).
    QList<qint64> serverPids() const;
    // Sensor server processes on this run's machine, whoever their parent is now.
    QList<qint64> machineServerPids() const;
    // Every sensor server the program started, in order, by pid.
    QList<qint64> serverStarts() const;
    // Makes the server read a CPU load of `percent` from now on: a cpu line with counters below the earlier ones
    // makes it fall back to the share since boot, which is this line's.
    bool setCpuLoad(int percent);

    static QString serverProgram();

private:
    // The server binary this run's wrapper executes: the build's, or the run's own copy for another user.
    QString serverBinary() const;
    void startProgram(QProcess& process, const QStringList& arguments);

    QString mMachine;
    QTemporaryDir mRoot {QStringLiteral("/tmp/orvane-run-XXXXXX")};
    QProcessEnvironment mEnv;
    QProcess mProcess;
    QList<QProcess*> mOthers;
    qint64 mPid = 0;
    int mUid = -1;
    int mGid = -1;
};

#endif // ORVANE_ORVANERUN_H
