#ifndef ORVANE_SYSFSFILE_H
#define ORVANE_SYSFSFILE_H

#include <QByteArray>
#include <QStringList>

// Small reads from sysfs and procfs that never block and never fail loudly: a missing entry, a read error (EIO,
// ENODATA), something that is not a regular file or text that is not a number all read as "no value".
namespace SysfsFile {
// At most `maxBytes` of the file, trailing white space removed. False when nothing could be read.
bool readText(const QString& path, QByteArray* text, int maxBytes = 4096);
// A decimal integer that fills the whole (trimmed) file.
bool readInteger(const QString& path, long long* value);
// Names in a directory, without "." and "..", unsorted. Empty when it cannot be read.
QStringList entries(const QString& path);
} // namespace SysfsFile

#endif // ORVANE_SYSFSFILE_H
