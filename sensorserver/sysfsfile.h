// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SYSFSFILE_H
#define ORVANE_SYSFSFILE_H

#include <QByteArray>
#include <QList>
#include <QString>

// Small reads from sysfs and procfs that never block and never fail loudly: a missing entry, a read error (EIO,
// ENODATA), a directory where a file belongs or text that is not a number all read as "no value".
namespace SysfsFile {
// The whole file up to `maxBytes`, trailing white space removed. False when nothing could be read.
bool readText(const QString& path, QByteArray* text, int maxBytes = 4096);

// A directory kept open, so that its entries are opened without walking the whole path each time: a request reads
// dozens of them.
class Directory
{
public:
    explicit Directory(const QString& path);
    Directory(const Directory& parent, const QByteArray& name);
    ~Directory();
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    bool isOpen() const { return mFd >= 0; }
    // Identity of the entry `name` (device and inode), to notice a directory that was replaced by another.
    bool identity(const QByteArray& name, quint64* device, quint64* inode) const;
    // An attribute opened for reading again and again with readOpen(); -1 when it cannot be opened.
    int open(const QByteArray& name) const;
    // An attribute: sysfs hands it over in one read of at most a page.
    bool readText(const QByteArray& name, QByteArray* text) const;
    // Names in the directory, without "." and "..", unsorted.
    QList<QByteArray> entries() const;

private:
    int mFd = -1;
};

enum class ReadResult {
    Ok,
    Failed,     // no value this time (EIO, ENODATA, not a number, ...)
    DeviceGone, // the device behind the attribute was removed
};
// Reads an attribute kept open from its start again: sysfs produces the value afresh for each such read.
ReadResult readOpen(int fd, QByteArray* text, int maxBytes = 4096);
ReadResult readOpenInteger(int fd, long long* value);
} // namespace SysfsFile

#endif // ORVANE_SYSFSFILE_H
