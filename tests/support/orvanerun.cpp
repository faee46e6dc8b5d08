// SPDX-License-Identifier: GPL-3.0-or-later
#include "orvanerun.h"

#include "sensorprotocol.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <csignal>
#include <unistd.h>

namespace {
// "Name:   value unit" lines of /proc/<pid>/status.
qint64 statusField(const QByteArray& status, const QByteArray& name)
{
    for (const QByteArray& line : status.split('\n')) {
        if (line.startsWith(name + ':')) {
            return line.mid(name.size() + 1).simplified().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

QByteArray readProcFile(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString shellQuoted(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

} // namespace

ProcessFigures ProcessFigures::of(qint64 pid)
{
    ProcessFigures figures;
    const QByteArray status = readProcFile(pid, "status");
    if (status.isEmpty()) {
        return figures;
    }
    figures.rssKiB = statusField(status, "VmRSS");
    figures.rssAnonKiB = statusField(status, "RssAnon");
    figures.peakKiB = statusField(status, "VmHWM");
    figures.threads = int(statusField(status, "Threads"));
    QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    if (fds.exists()) {
        figures.fds = fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
    }
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "Thread (pooled)") {
            ++figures.pooledThreads;
        }
    }
    return figures;
}

OrvaneRun::OrvaneRun(const QString& machine) : mMachine(machine) { }

OrvaneRun::~OrvaneRun()
{
    QList<QProcess*> all = mOthers;
    all.prepend(&mProcess);
    for (QProcess* process : all) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    qDeleteAll(mOthers);
    // A server left behind by a failed case must not outlive the run.
    for (qint64 pid : machineServerPids()) {
        ::kill(pid_t(pid), SIGKILL);
    }
}

QString OrvaneRun::serverProgram()
{
    return TestSupport::binaryDir() + QStringLiteral("/voviredo/VOViredo");
}

QString OrvaneRun::serverBinary() const
{
    return mUid < 0 ? serverProgram() : mRoot.filePath(QStringLiteral("app/voviredo/VOViredo.bin"));
}

QString OrvaneRun::serverSocket() const
{
    return runtimeDir() + QLatin1Char('/') + QLatin1String(SensorProtocol::kServerName);
}

bool OrvaneRun::prepare(bool serverDeafToTerminate)
{
    if (!mRoot.isValid()) {
        return false;
    }
    QDir root(mRoot.path());
    for (const char* folder : {"app/voviredo", "rt", "config", "tmp"}) {
        if (!root.mkpath(QLatin1String(folder))) {
            return false;
        }
    }
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString fixture = TestSupport::fixturesDir() + QStringLiteral("/sysfs/") + mMachine;
    if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), fixture, machineDir()}) != 0) {
        return false;
    }

    // Copies, not links: the program looks for its server, and orvane --headless for orvane-headless, beside its
    // resolved executable.
    const QString program = mRoot.filePath(QStringLiteral("app/orvane"));
    const QString headless = mRoot.filePath(QStringLiteral("app/orvane-headless"));
    for (const QString& copy : {program, headless}) {
        if (!QFile::copy(TestSupport::binaryDir() + QLatin1Char('/') + QFileInfo(copy).fileName(), copy) ||
            !QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
            return false;
        }
    }
    // Every start of a server leaves its pid here, which is also the server's: exec keeps it.
    QString command = QStringLiteral("echo $$ >> ") + shellQuoted(mRoot.filePath(QStringLiteral("server-starts"))) +
                      QStringLiteral("\nexec ");
    if (serverDeafToTerminate) {
        // A blocked signal stays blocked across exec, whatever handler the server installs.
        command += QStringLiteral("perl -MPOSIX -e 'sigprocmask(SIG_BLOCK, POSIX::SigSet->new(SIGTERM)) or die; "
                                  "exec {$ARGV[0]} @ARGV or exit 127' ");
    }
    const QString preload = mUid < 0 ? TestSupport::binaryDir() + QStringLiteral("/devsim/libhidapi_sim.so")
                                     : mRoot.filePath(QStringLiteral("app/libhidapi_sim.so"));
    if (mUid >= 0) {
        // The build tree may be closed to other users: this run brings its own copies, and its folders are theirs.
        if (!QFile::copy(serverProgram(), serverBinary()) ||
            !QFile::copy(TestSupport::binaryDir() + QStringLiteral("/devsim/libhidapi_sim.so"), preload) ||
            !writeFile(mRoot.filePath(QStringLiteral("server-starts")), QByteArray())) {
            return false;
        }
        QFile::setPermissions(mRoot.filePath(QStringLiteral("server-starts")), QFileDevice::Permissions(0x6666));
        for (const QString& shared : {mRoot.path(),
                                      mRoot.filePath(QStringLiteral("app")),
                                      mRoot.filePath(QStringLiteral("app/voviredo")),
                                      program,
                                      headless,
                                      serverBinary(),
                                      preload}) {
            QFile::setPermissions(shared, QFileDevice::Permissions(0x7755));
        }
        for (const char* own : {"rt", "config", "tmp"}) {
            if (::chown(QFile::encodeName(mRoot.filePath(QLatin1String(own))).constData(), uid_t(mUid), gid_t(mGid)) !=
                0) {
                return false;
            }
        }
    }
    command += shellQuoted(serverBinary()) + QStringLiteral(" --sysfs-root ") +
               shellQuoted(machineDir() + QStringLiteral("/sys")) + QStringLiteral(" --proc-root ") +
               shellQuoted(machineDir() + QStringLiteral("/proc")) + QStringLiteral(" --fan-names /dev/null \"$@\"\n");
    const QString wrapper = mRoot.filePath(QStringLiteral("app/voviredo/VOViredo"));
    if (!writeFile(wrapper, QByteArrayLiteral("#!/bin/sh\n") + command.toUtf8()) ||
        !QFile::setPermissions(wrapper,
                               mUid < 0 ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                        : QFileDevice::Permissions(0x7755))) {
        return false;
    }

    mEnv = QProcessEnvironment::systemEnvironment();
    mEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    mEnv.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    mEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), mRoot.filePath(QStringLiteral("config")));
    // Qt's own temporary files stay in the run too.
    mEnv.insert(QStringLiteral("TMPDIR"), mRoot.filePath(QStringLiteral("tmp")));
    mEnv.insert(QStringLiteral("LD_PRELOAD"), preload);
    mEnv.insert(QStringLiteral("ORVANE_DEVSIM_SOCKET"), devsimSocket());
    // Neither the machine's logind nor a desktop session bus: a test that wants a bus names its own.
    const QString noBus = QStringLiteral("unix:path=") + mRoot.filePath(QStringLiteral("no-bus"));
    mEnv.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), noBus);
    mEnv.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), noBus);
    return true;
}

void OrvaneRun::startProgram(QProcess& process, const QStringList& arguments)
{
    const QString program = mRoot.filePath(QStringLiteral("app/orvane"));
    if (mUid < 0) {
        process.start(program, arguments);
        return;
    }
    process.start(QStringLiteral("setpriv"),
                  QStringList {QStringLiteral("--reuid=%1").arg(mUid),
                               QStringLiteral("--regid=%1").arg(mGid),
                               QStringLiteral("--clear-groups"),
                               QStringLiteral("--"),
                               program} +
                      arguments);
}

bool OrvaneRun::start(const QStringList& arguments)
{
    mProcess.setProcessEnvironment(mEnv);
    mProcess.setWorkingDirectory(mRoot.path());
    mProcess.setStandardOutputFile(QProcess::nullDevice());
    mProcess.setStandardErrorFile(mRoot.filePath(QStringLiteral("orvane.err")));
    startProgram(mProcess, arguments);
    if (!mProcess.waitForStarted(10000)) {
        return false;
    }
    mPid = mProcess.processId();
    return true;
}

QProcess* OrvaneRun::launchAnother(const QStringList& arguments, const QString& errorFile)
{
    auto* process = new QProcess;
    mOthers << process;
    process->setProcessEnvironment(mEnv);
    process->setWorkingDirectory(mRoot.path());
    if (errorFile.isEmpty()) {
        process->setProcessChannelMode(QProcess::ForwardedChannels);
    } else {
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(mRoot.filePath(errorFile));
    }
    startProgram(*process, arguments);
    process->waitForStarted(10000);
    return process;
}

QString OrvaneRun::fileText(const QString& name) const
{
    QFile file(mRoot.filePath(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool OrvaneRun::terminate(int timeoutMs)
{
    if (mProcess.state() == QProcess::NotRunning) {
        return false;
    }
    ::kill(pid_t(mPid), SIGTERM);
    if (!mProcess.waitForFinished(timeoutMs)) {
        return false;
    }
    return mProcess.exitStatus() == QProcess::NormalExit && mProcess.exitCode() == 0;
}

QString OrvaneRun::errorOutput() const
{
    return fileText(QStringLiteral("orvane.err"));
}

bool OrvaneRun::waitForErrorOutput(const QString& text, int timeoutMs) const
{
    QElapsedTimer clock;
    clock.start();
    while (!errorOutput().contains(text)) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

QList<qint64> OrvaneRun::serverPids() const
{
    QList<qint64> children;
    if (mPid <= 0) {
        return children;
    }
    for (qint64 pid : TestSupport::processesOf(serverBinary())) {
        if (statusField(readProcFile(pid, "status"), "PPid") == mPid) {
            children << pid;
        }
    }
    return children;
}

QList<qint64> OrvaneRun::machineServerPids() const
{
    QList<qint64> ours;
    const QByteArray root = QFile::encodeName(machineDir());
    for (qint64 pid : TestSupport::processesOf(serverBinary())) {
        if (readProcFile(pid, "cmdline").contains(root)) {
            ours << pid;
        }
    }
    return ours;
}

QList<qint64> OrvaneRun::serverStarts() const
{
    QList<qint64> pids;
    QFile file(mRoot.filePath(QStringLiteral("server-starts")));
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.trimmed().isEmpty()) {
                pids << line.trimmed().toLongLong();
            }
        }
    }
    return pids;
}

bool OrvaneRun::setCpuLoad(int percent)
{
    QFile stat(machineDir() + QStringLiteral("/proc/stat"));
    if (percent < 0 || percent > 100 || !stat.open(QIODevice::ReadWrite)) {
        return false;
    }
    const QByteArray text = stat.readAll();
    const int firstLineEnd = text.indexOf('\n');
    QByteArray line = QStringLiteral("cpu  %1 0 0 %2 0 0 0 0 0 0").arg(percent).arg(100 - percent).toLatin1();
    if (firstLineEnd < line.size()) {
        return false;
    }
    // The same length, written in place: the server keeps the file open and may read it at any moment.
    line = line.leftJustified(firstLineEnd, ' ');
    return stat.seek(0) && stat.write(line) == line.size() && stat.flush();
}
