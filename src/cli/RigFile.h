#pragma once
// The rig file: a JSON object whose "lanes" array holds one object per lane, its keys the play
// flags without their dashes ("file", "tcp", "udp", "listen", "serial", "delay", "loop", "count",
// "pace", "speed", "max-gap", "ttl", "interface", "baud", "parity", "data-bits", "stop-bits",
// "wait-for", "reply-timeout", "char-delay"),
// and the rig's own "start" (when the lane's first line goes out, in milliseconds from the start
// of the rig). Each lane becomes the words a play command line would hold, so that the play
// flags' own checks and messages apply to it. Main thread only; failures are results with a message
// that names the lane (from 1) or the position in the file where the JSON went wrong.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/CommandOutput.h"

struct RigLaneWords {
    int number = 0;  // 1, 2, ... in the file's order
    // "--key=VALUE", or "--key" alone for a switch, then "--" and FILE: after "--" the parser
    // takes FILE as it stands, even when it begins with "-".
    CommandArgs words;
    std::optional<std::uint32_t> startMs;  // "start"
};

// Whether `key` is a flag the lanes may use, and whether it takes a value (false: a switch).
using RigKeyLookup = std::function<std::optional<bool>(const std::string& key)>;

// Reads the rig file's text. Empty on success with `lanes` filled; otherwise the message.
std::optional<std::string> ReadRigFile(const std::string& text, const RigKeyLookup& lookup,
                                       std::vector<RigLaneWords>& lanes);
