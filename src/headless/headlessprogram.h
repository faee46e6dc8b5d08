// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_HEADLESSPROGRAM_H
#define ORVANE_HEADLESSPROGRAM_H

// orvane --headless [--settings FILE]: the display fed without a window, for servers, the time before log-on and a
// system service. Decided before any QApplication exists.
namespace HeadlessProgram {
// True when the command line asks for it (its first argument is --headless).
bool isRequested(int argc, char* argv[]);
// Runs it until a termination signal; the exit code. A bad command line is said on standard error (code 2).
int run(int argc, char* argv[]);
} // namespace HeadlessProgram

#endif // ORVANE_HEADLESSPROGRAM_H
