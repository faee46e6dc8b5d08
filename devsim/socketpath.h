// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DEVSIM_SOCKETPATH_H
#define ORVANE_DEVSIM_SOCKETPATH_H

#include <string>

namespace devsim {
// $ORVANE_DEVSIM_SOCKET, or orvane-devsim.sock in the user's runtime directory; the same for both ends.
std::string defaultSocketPath();
// The file that stands for the display's device node beside the socket at `socketPath`: what hid_enumerate names as
// the device's path, so that a lock can be taken on it as on a hidraw node.
std::string nodePathBeside(const std::string& socketPath);
} // namespace devsim

#endif // ORVANE_DEVSIM_SOCKETPATH_H
