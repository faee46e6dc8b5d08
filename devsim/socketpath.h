// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DEVSIM_SOCKETPATH_H
#define ORVANE_DEVSIM_SOCKETPATH_H

#include <string>

namespace devsim {
// $ORVANE_DEVSIM_SOCKET, or orvane-devsim.sock in the user's runtime directory; the same for both ends.
std::string defaultSocketPath();
} // namespace devsim

#endif // ORVANE_DEVSIM_SOCKETPATH_H
