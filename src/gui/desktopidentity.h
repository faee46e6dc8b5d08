// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DESKTOPIDENTITY_H
#define ORVANE_DESKTOPIDENTITY_H

// Who the program is to the desktop: Wayland compositors and task bars match its windows to its launcher
// (orvane.desktop, the name it is installed under) and so to its icon. The main window has the icon from its form;
// the application's icon covers every other window (the "already running" notice, the message dialog).
namespace DesktopIdentity {
// The desktop file's name without ".desktop".
const char* const kDesktopFileName = "orvane";
// Once QApplication exists, before any window is made.
void apply();
} // namespace DesktopIdentity

#endif // ORVANE_DESKTOPIDENTITY_H
