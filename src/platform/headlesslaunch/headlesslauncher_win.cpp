// SPDX-License-Identifier: GPL-3.0-or-later
// On Windows the window program feeds the display from log-on; a service without a window is Linux's.
#include "headlesslauncher.h"

#include <cstdio>
#include <cstring>

namespace HeadlessLauncher {
bool isRequested(int argc, char* argv[])
{
    return argc >= 2 && std::strcmp(argv[1], "--headless") == 0;
}

int run(int, char*[])
{
    std::fprintf(stderr, "orvane: --headless is for Linux; on Windows, Orvane feeds the display from its window\n");
    return 1;
}
} // namespace HeadlessLauncher
