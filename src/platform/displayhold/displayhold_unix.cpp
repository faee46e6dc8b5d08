// SPDX-License-Identifier: GPL-3.0-or-later
// The hold is a flock on a descriptor of our own on the display's hidraw node: only a process that may open the
// node can take it, every Orvane of every user sees the same lock, and the kernel drops it with the process.
#include "displayhold.h"

#include <cerrno>
#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray firstDisplayPath(int vid, int pid)
{
    hid_device_info* found = hid_enumerate(static_cast<unsigned short>(vid), static_cast<unsigned short>(pid));
    const QByteArray path = found && found->path ? QByteArray(found->path) : QByteArray();
    hid_free_enumeration(found);
    return path;
}

// The same node as the one held: a display plugged in again has a node of its own, even under the same name.
bool sameNode(int fd, const QByteArray& path)
{
    struct stat held = {};
    struct stat now = {};
    return ::fstat(fd, &held) == 0 && ::stat(path.constData(), &now) == 0 && held.st_dev == now.st_dev &&
           held.st_ino == now.st_ino && held.st_rdev == now.st_rdev;
}
} // namespace

DisplayHold::~DisplayHold()
{
    release();
}

DisplayHold::Result DisplayHold::take(int vid, int pid)
{
    const QByteArray path = firstDisplayPath(vid, pid);
    if (path.isEmpty()) {
        release();
        return Result::NotFound;
    }
    if (mFd >= 0 && path == mPath && sameNode(mFd, path)) {
        return Result::Held;
    }
    release();
    mPath = path;
    // Read and write, as the session opens it: a user who may not use the display cannot hold it either.
    const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return Result::Unlockable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        mFd = fd;
        return Result::Held;
    }
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unlockable;
}

void DisplayHold::release()
{
    if (mFd >= 0) {
        ::close(mFd);
        mFd = -1;
    }
    mPath.clear();
}
