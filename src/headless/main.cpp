// SPDX-License-Identifier: GPL-3.0-or-later
// orvane-headless: the display fed without a window (orvane --headless becomes this program).
#include "headlessprogram.h"

int main(int argc, char* argv[])
{
    return HeadlessProgram::run(argc, argv);
}
