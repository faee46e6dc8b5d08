#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>

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
} // namespace TestSupport
