// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"

#include "devicemodel.h"

#include <cstdlib>
#include <sstream>

namespace devsim {

const char* const kCommandHelp = "Commands on standard input, one per line:\n"
                                 "  unplug           pull the device out (open handles die, opens fail)\n"
                                 "  plug             plug it back in\n"
                                 "  silent           receive frames but never answer\n"
                                 "  answer           answer every frame again\n"
                                 "  delay MS         answer every frame MS milliseconds late (0: at once)\n"
                                 "  nomarker         answer the seed request without the 0xE3 marker\n"
                                 "  marker           answer the seed request with the marker again\n"
                                 "  version12        version reply with 12 leading non-zero bytes (invalid)\n"
                                 "  version13        version reply with 13 leading non-zero bytes (valid)\n"
                                 "  version14        version reply with 14 leading non-zero bytes (invalid)\n"
                                 "  reportid on|off  replies start with the report number 0x01, or not\n"
                                 "  seed N|random    hand out seed N (0-255) at every seed request, or a random one\n"
                                 "  replysize N      cut every reply to N bytes (0: whole reports)\n"
                                 "  status           print the device's state\n"
                                 "  help             print this list\n"
                                 "  quit             stop the simulator\n"
                                 "End of input does not stop the simulator; SIGTERM and SIGINT do.\n";

CommandResult applyCommand(DeviceModel& model, const std::string& line, std::string* reply)
{
    std::istringstream in(line);
    std::string word;
    std::string arg;
    in >> word >> arg;
    std::string extra;
    in >> extra;
    auto done = [&](const std::string& text) {
        *reply = text;
        return CommandResult::Done;
    };
    auto unknown = [&](const std::string& text) {
        *reply = text;
        return CommandResult::Unknown;
    };
    if (!extra.empty()) {
        return unknown("too many words in '" + line + "'");
    }
    const bool hasArg = !arg.empty();
    const bool takesArg = word == "delay" || word == "reportid" || word == "seed" || word == "replysize";
    if (hasArg && !takesArg) {
        return unknown("'" + word + "' takes no argument");
    }

    if (word == "unplug") {
        model.unplug();
        *reply = "device unplugged";
        return CommandResult::Unplugged;
    }
    if (word == "plug") {
        model.plug();
        return done("device plugged in");
    }
    if (word == "silent") {
        model.setSilent(true);
        return done("device silent");
    }
    if (word == "answer") {
        model.setSilent(false);
        return done("device answering");
    }
    if (word == "delay") {
        char* end = nullptr;
        const long ms = hasArg ? std::strtol(arg.c_str(), &end, 10) : -1;
        if (!hasArg || *end != '\0' || ms < 0 || ms > 600000) {
            return unknown("delay needs milliseconds from 0 to 600000");
        }
        model.setDelayMs(int(ms));
        return done("replies delayed by " + std::to_string(ms) + " ms");
    }
    if (word == "nomarker" || word == "marker") {
        model.setSeedMarker(word == "marker");
        return done(word == "marker" ? "seed replies carry the marker" : "seed replies without the marker");
    }
    if (word == "version12" || word == "version13" || word == "version14") {
        model.setVersionNonZeroCount(std::stoi(word.substr(7)));
        return done("version reply with " + word.substr(7) + " leading non-zero bytes");
    }
    if (word == "reportid") {
        if (arg != "on" && arg != "off") {
            return unknown("reportid needs on or off");
        }
        model.setReportId(arg == "on");
        return done(arg == "on" ? "replies start with the report number" : "replies without the report number");
    }
    if (word == "seed") {
        if (arg == "random") {
            model.setSeed(-1);
            return done("random seed at every request");
        }
        char* end = nullptr;
        const long seed = hasArg ? std::strtol(arg.c_str(), &end, 0) : -1;
        if (!hasArg || *end != '\0' || seed < 0 || seed > 255) {
            return unknown("seed needs a number from 0 to 255 or 'random'");
        }
        model.setSeed(int(seed));
        return done("seed " + std::to_string(seed) + " at every request");
    }
    if (word == "replysize") {
        char* end = nullptr;
        const long size = hasArg ? std::strtol(arg.c_str(), &end, 10) : -1;
        if (!hasArg || *end != '\0' || size < 0 || size > 65) {
            return unknown("replysize needs a byte count from 0 to 65");
        }
        model.setReplySize(int(size));
        return done(size == 0 ? std::string("whole replies") : "replies cut to " + std::to_string(size) + " bytes");
    }
    if (word == "status") {
        return done(model.status());
    }
    if (word == "help") {
        return done(kCommandHelp);
    }
    if (word == "quit") {
        *reply = "stopping";
        return CommandResult::Quit;
    }
    return unknown("unknown command '" + word + "' (try help)");
}

} // namespace devsim
