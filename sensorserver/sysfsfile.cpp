// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysfsfile.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Non-blocking, so that a stray FIFO or terminal in a tree given with --sysfs-root cannot hang the server.
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
constexpr int kAttributeBytes = 4096;

// Reads from the start of the file, however often it was read before, until its end or `maxBytes`. A failing read
// (EIO, ENODATA, ENODEV, or ESPIPE for something that is not a file) fails it all.
bool readFromStart(int fd, char* buffer, int maxBytes, bool oneRead, int* used)
{
    *used = 0;
    while (*used < maxBytes) {
        const ssize_t got = ::pread(fd, buffer + *used, size_t(maxBytes - *used), off_t(*used));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        *used += int(got);
        if (got == 0 || oneRead) {
            break;
        }
    }
    return true;
}

bool parseInteger(const QByteArray& text, long long* value)
{
    if (text.isEmpty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.constData(), &end, 10);
    if (errno != 0 || end == text.constData() || *end != '\0') {
        return false;
    }
    *value = parsed;
    return true;
}

QList<QByteArray> listEntries(DIR* dir)
{
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        names.append(QByteArray(name));
    }
    return names;
}
} // namespace

namespace SysfsFile {
bool readText(const QString& path, QByteArray* text, int maxBytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), kOpenFlags);
    if (fd < 0) {
        return false;
    }
    QByteArray buffer(maxBytes, Qt::Uninitialized);
    int used = 0;
    const bool ok = readFromStart(fd, buffer.data(), maxBytes, false, &used);
    ::close(fd);
    if (!ok) {
        return false;
    }
    buffer.truncate(used);
    *text = buffer.trimmed();
    return true;
}

Directory::Directory(const QString& path)
    : mFd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_DIRECTORY))
{
}

Directory::Directory(const Directory& parent, const QByteArray& name)
    : mFd(parent.isOpen() ? ::openat(parent.mFd, name.constData(), O_RDONLY | O_CLOEXEC | O_DIRECTORY) : -1)
{
}

Directory::~Directory()
{
    if (mFd >= 0) {
        ::close(mFd);
    }
}

bool Directory::readText(const QByteArray& name, QByteArray* text) const
{
    if (mFd < 0) {
        return false;
    }
    const int fd = ::openat(mFd, name.constData(), kOpenFlags);
    if (fd < 0) {
        return false;
    }
    char buffer[kAttributeBytes];
    int used = 0;
    const bool ok = readFromStart(fd, buffer, kAttributeBytes, true, &used);
    ::close(fd);
    if (!ok) {
        return false;
    }
    *text = QByteArray(buffer, used).trimmed();
    return true;
}

bool Directory::identity(const QByteArray& name, quint64* device, quint64* inode) const
{
    struct stat info
    {
    };
    if (mFd < 0 || ::fstatat(mFd, name.constData(), &info, 0) != 0) {
        return false;
    }
    *device = quint64(info.st_dev);
    *inode = quint64(info.st_ino);
    return true;
}

int Directory::open(const QByteArray& name) const
{
    return mFd < 0 ? -1 : ::openat(mFd, name.constData(), kOpenFlags);
}

ReadResult readOpen(int fd, QByteArray* text, int maxBytes)
{
    char stackBuffer[kAttributeBytes];
    QByteArray heapBuffer;
    char* buffer = stackBuffer;
    if (maxBytes > kAttributeBytes) {
        heapBuffer.resize(maxBytes);
        buffer = heapBuffer.data();
    }
    int used = 0;
    if (fd < 0) {
        return ReadResult::Failed;
    }
    if (!readFromStart(fd, buffer, maxBytes, maxBytes <= kAttributeBytes, &used)) {
        return errno == ENODEV || errno == ENXIO ? ReadResult::DeviceGone : ReadResult::Failed;
    }
    *text = QByteArray(buffer, used).trimmed();
    return ReadResult::Ok;
}

ReadResult readOpenInteger(int fd, long long* value)
{
    QByteArray text;
    const ReadResult result = readOpen(fd, &text);
    if (result != ReadResult::Ok) {
        return result;
    }
    return parseInteger(text, value) ? ReadResult::Ok : ReadResult::Failed;
}

QList<QByteArray> Directory::entries() const
{
    if (mFd < 0) {
        return {};
    }
    // The directory stream takes its own descriptor, so that this one stays usable.
    const int fd = ::openat(mFd, ".", O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0) {
            ::close(fd);
        }
        return {};
    }
    const QList<QByteArray> names = listEntries(dir);
    ::closedir(dir);
    return names;
}
} // namespace SysfsFile
