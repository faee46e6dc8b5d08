// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DEVSIM_COMMANDS_H
#define ORVANE_DEVSIM_COMMANDS_H

#include <string>

namespace devsim {

class DeviceModel;

// The simulator's commands on standard input, one per line.
extern const char* const kCommandHelp;

enum class CommandResult {
    Done,      // applied; *reply says what changed
    Unknown,   // *reply says why
    Unplugged, // applied; open handles are dead now
    Quit
};

CommandResult applyCommand(DeviceModel& model, const std::string& line, std::string* reply);

} // namespace devsim

#endif // ORVANE_DEVSIM_COMMANDS_H
