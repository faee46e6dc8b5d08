// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_HEADLESSLAUNCHER_H
#define ORVANE_HEADLESSLAUNCHER_H

// orvane --headless [--settings FILE] hands over to orvane-headless beside the program, a program of its own that
// loads no GUI library. Decided before any QApplication exists.
namespace HeadlessLauncher {
// True when the command line asks for it (its first argument is --headless).
bool isRequested(int argc, char* argv[]);
// Becomes orvane-headless with the arguments after --headless; returns only when that fails (the exit code).
int run(int argc, char* argv[]);
} // namespace HeadlessLauncher

#endif // ORVANE_HEADLESSLAUNCHER_H
