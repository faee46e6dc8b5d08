#include "sysfsfile.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SysfsFile {
bool readText(const QString& path, QByteArray* text, int maxBytes)
{
    const QByteArray nativePath = QFile::encodeName(path);
    // Non-blocking, so that a stray FIFO in a tree given with --sysfs-root cannot hang the server.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    QByteArray buffer(maxBytes, Qt::Uninitialized);
    qsizetype used = 0;
    while (used < maxBytes) {
        const ssize_t got = ::read(fd, buffer.data() + used, size_t(maxBytes - used));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            // EIO, ENODATA, EAGAIN and friends: a sensor that cannot be read right now.
            ::close(fd);
            return false;
        }
        if (got == 0) {
            break;
        }
        used += got;
    }
    ::close(fd);
    buffer.truncate(int(used));
    *text = buffer.trimmed();
    return true;
}

bool readInteger(const QString& path, long long* value)
{
    QByteArray text;
    if (!readText(path, &text, 64) || text.isEmpty()) {
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

QStringList entries(const QString& path)
{
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        names.append(QFile::decodeName(name));
    }
    ::closedir(dir);
    return names;
}
} // namespace SysfsFile
