// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_RUNTIMEFOLDER_H
#define ORVANE_RUNTIMEFOLDER_H

#include <QString>

// The user's runtime folder on Linux: private to the user, in memory, gone at log-out. Looked up once per process,
// since Qt warns each time it finds the folder missing or not the user's: the first lookup says so once and puts
// the folder it settled on into XDG_RUNTIME_DIR, so that Qt and the processes started later find it quietly.
namespace RuntimeFolder {
// Before the first lookup: a program that must share nothing with the window's (orvane --headless) takes a private
// folder of this name inside the user's runtime folder as its own runtime folder, for itself and its children.
void useInstanceFolder(const QString& name);
// What Qt gives for it: $XDG_RUNTIME_DIR, or a private folder Qt makes under /tmp when that is not set. Empty when
// there is no private one (for example a folder that belongs to someone else).
QString path();
// True when the session named the folder ($XDG_RUNTIME_DIR) and it is usable: then it lives in memory.
bool isSessionFolder();
// The program's own folder in it, made on first use, this user's alone; empty when it cannot be had (said once).
QString ownFolder();
} // namespace RuntimeFolder

#endif // ORVANE_RUNTIMEFOLDER_H
