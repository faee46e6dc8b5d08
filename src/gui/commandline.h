// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_COMMANDLINE_H
#define ORVANE_COMMANDLINE_H

#include <QString>
#include <QStringList>

// What the command line asks of the program. The texts of --help and --version are here and nowhere else.
namespace CommandLine {
// "orvane --help" and "orvane --version" (that one argument, nothing else): prints the answer to standard output
// and gives the exit code. -1 for every other command line, which starts the program. Needs no QApplication, so
// it runs before one: no display, no single-instance objects, no sensor server.
int answerQuery(int argc, char* argv[]);
// The log-on start: exactly the one argument "--bootstart", after Qt took its own options out.
bool startsHidden(const QStringList& arguments);

QString usage();
QString version();
} // namespace CommandLine

#endif // ORVANE_COMMANDLINE_H
