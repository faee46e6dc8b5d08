// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_HEADLESSPROGRAM_H
#define ORVANE_HEADLESSPROGRAM_H

// orvane-headless [--settings FILE] (orvane --headless): the display fed without a window, for servers, the time before
// log-on and a system service.
namespace HeadlessProgram {
// Runs it until a termination signal; the exit code. A bad command line is said on standard error (code 2).
int run(int argc, char* argv[]);
} // namespace HeadlessProgram

#endif // ORVANE_HEADLESSPROGRAM_H
