#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <sys/resource.h>

namespace TestSupport {
QString binaryDir()
{
    const QString fromEnv = QProcessEnvironment::systemEnvironment().value(QStringLiteral("ORVANE_BINARY_DIR"));
    return fromEnv.isEmpty() ? QStringLiteral(ORVANE_TEST_BINARY_DIR) : fromEnv;
}

QString fixturesDir()
{
    return QStringLiteral(ORVANE_TEST_FIXTURES);
}

QList<qint64> processesOf(const QString& program)
{
    QList<qint64> pids;
    const QString wanted = QFileInfo(program).canonicalFilePath();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (isPid && QFileInfo(QStringLiteral("/proc/%1/exe").arg(entry)).symLinkTarget() == wanted) {
            pids << pid;
        }
    }
    return pids;
}

DescriptorsExhausted::DescriptorsExhausted(qint64 pid) : mPid(pid)
{
    const QStringList open =
        QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    rlim_t lowestFree = 0;
    while (open.contains(QString::number(lowestFree))) {
        ++lowestFree;
    }
    struct rlimit limit = {};
    if (open.isEmpty() || ::prlimit(pid_t(pid), RLIMIT_NOFILE, nullptr, &limit) != 0) {
        return;
    }
    mLimit[0] = limit.rlim_cur;
    mLimit[1] = limit.rlim_max;
    const struct rlimit tight = {lowestFree, limit.rlim_max};
    mOk = ::prlimit(pid_t(pid), RLIMIT_NOFILE, &tight, nullptr) == 0;
}

void DescriptorsExhausted::restore()
{
    if (mOk) {
        const struct rlimit limit = {rlim_t(mLimit[0]), rlim_t(mLimit[1])};
        ::prlimit(pid_t(mPid), RLIMIT_NOFILE, &limit, nullptr);
        mOk = false;
    }
}
} // namespace TestSupport
