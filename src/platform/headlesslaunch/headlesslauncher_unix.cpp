// SPDX-License-Identifier: GPL-3.0-or-later
// The same process goes on as orvane-headless: its pid, its descriptors and its environment stay, so a service
// manager or a test that started orvane --headless keeps watching the program that feeds the display.
#include "headlesslauncher.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace HeadlessLauncher {
bool isRequested(int argc, char* argv[])
{
    return argc >= 2 && std::strcmp(argv[1], "--headless") == 0;
}

int run(int argc, char* argv[])
{
    // Beside the program's own file, whatever link on the PATH started it.
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        std::fprintf(stderr, "orvane: cannot tell where this program is: %s\n", std::strerror(errno));
        return 1;
    }
    self[length] = '\0';
    std::string program(self);
    program.replace(program.rfind('/') + 1, std::string::npos, "orvane-headless");

    std::vector<char*> arguments {const_cast<char*>(program.c_str())};
    for (int i = 2; i < argc; ++i) {
        arguments.push_back(argv[i]);
    }
    arguments.push_back(nullptr);
    execv(program.c_str(), arguments.data());
    std::fprintf(stderr, "orvane: cannot start %s: %s\n", program.c_str(), std::strerror(errno));
    return 1;
}
} // namespace HeadlessLauncher
