// SPDX-License-Identifier: GPL-3.0-or-later
#include "amdgpu.h"

#include "sysfsfile.h"

namespace AmdGpu {
int openLoad(const SysfsFile::Directory& device)
{
    return device.open("gpu_busy_percent");
}

bool readLoad(int fd, double* percent)
{
    long long busy = 0;
    if (fd < 0 || SysfsFile::readOpenInteger(fd, &busy) != SysfsFile::ReadResult::Ok || busy < 0 || busy > 100) {
        return false;
    }
    *percent = double(busy);
    return true;
}
} // namespace AmdGpu
