// SPDX-License-Identifier: GPL-3.0-or-later
// One instance per user: a lock on a file in the user's private runtime folder. Another user can neither take it
// nor make a start wait, and the kernel drops the lock with the process that held it, killed or not.
#include "logcategories.h"
#include "runtimefolder.h"
#include "singleinstance.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

struct SingleInstance::Private
{
    int fd = -1;
};

SingleInstance::SingleInstance() : d(new Private) { }

SingleInstance::~SingleInstance()
{
    if (d->fd >= 0) {
        ::close(d->fd);
    }
}

bool SingleInstance::claim()
{
    const QString folder = RuntimeFolder::ownFolder();
    if (folder.isEmpty()) {
        qCWarning(lcPlatform) << "no private runtime folder to hold the single-instance lock: starting anyway";
        return true;
    }
    const QString path = folder + QStringLiteral("/instance.lock");
    // Not through a link, and never waiting on a special file put there.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    struct stat info = {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const QString why = fd < 0 ? QString::fromLocal8Bit(strerror(errno)) : QStringLiteral("not a plain file");
        qCWarning(lcPlatform).noquote() << "cannot use" << path << "as the single-instance lock:" << why
                                        << "- starting anyway";
        if (fd >= 0) {
            ::close(fd);
        }
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        d->fd = fd;
        return true;
    }
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
        return false;
    }
    qCWarning(lcPlatform).noquote() << "cannot lock" << path + QLatin1Char(':') << strerror(error)
                                    << "- starting anyway";
    return true;
}
