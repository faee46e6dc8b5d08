// SPDX-License-Identifier: GPL-3.0-or-later
// The copy goes to a new file in the program's own runtime folder, which then takes the place of the old one:
// nothing follows a link put there, nothing waits on a special file, and a reader never sees half a document.
#include "diagnosticcopy.h"
#include "logcategories.h"
#include "runtimefolder.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
bool gFailureSaid = false;

bool failed(const QString& why)
{
    if (!gFailureSaid) {
        gFailureSaid = true;
        qCWarning(lcSensors).noquote() << "hardInfo.xml is not written:" << why;
    }
    return false;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}
} // namespace

namespace DiagnosticCopy {
QString path()
{
    // Only a runtime folder the session gave is sure to be in memory; Qt's stand-in under /tmp may be on disk.
    if (!RuntimeFolder::isSessionFolder() || RuntimeFolder::ownFolder().isEmpty()) {
        return QString();
    }
    return RuntimeFolder::ownFolder() + QStringLiteral("/hardInfo.xml");
}

bool write(const QString& document)
{
    const QString target = path();
    if (target.isEmpty()) {
        return failed(QStringLiteral("no runtime folder of this user's session (XDG_RUNTIME_DIR)"));
    }
    QByteArray temporary = QFile::encodeName(target) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return failed(QString::fromLocal8Bit(strerror(errno)));
    }
    const bool written = writeAll(fd, document.toUtf8()) && writeAll(fd, QByteArrayLiteral("\r\n\r\n"));
    const int error = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(temporary.constData());
        return failed(QString::fromLocal8Bit(strerror(written ? errno : error)));
    }
    // rename() replaces a link or a FIFO of that name itself, never what it points to.
    if (::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.constData());
        return failed(QStringLiteral("%1: %2").arg(target, QString::fromLocal8Bit(strerror(renameError))));
    }
    gFailureSaid = false;
    return true;
}
} // namespace DiagnosticCopy
