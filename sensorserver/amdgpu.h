// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_AMDGPU_H
#define ORVANE_AMDGPU_H

namespace SysfsFile {
class Directory;
}

// What amdgpu gives beside its hwmon inputs: the card's load, gpu_busy_percent of the card's device folder.
namespace AmdGpu {
// Kept open like a hwmon input; -1 where the card has none (other drivers).
int openLoad(const SysfsFile::Directory& device);
// The load in percent; false where it cannot be read or is out of range.
bool readLoad(int fd, double* percent);
} // namespace AmdGpu

#endif // ORVANE_AMDGPU_H
