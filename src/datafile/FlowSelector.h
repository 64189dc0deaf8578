#pragma once
// Which flow of a capture to play, as a user writes it (--flow): a destination port ("9100"), or
// the two ends "SOURCE:PORT>DESTINATION:PORT" (IPv6 addresses in brackets, spaces around ">"
// allowed), optionally after the protocol: "tcp 10.0.0.5:50123 > 10.0.0.9:9100", exactly as the
// flows command lists a flow. Pure; any thread. A text that cannot be read gives an empty result
// and the reason, never an exception.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "datafile/FlowKey.h"

struct FlowSelector {
    // Nothing set: any flow. Otherwise a flow must match every part that is set.
    std::optional<FlowProtocol> protocol;
    std::optional<IpAddress> source;
    std::uint16_t sourcePort = 0;  // with `source`
    std::optional<IpAddress> destination;
    std::uint16_t destinationPort = 0;  // 0: any

    bool Matches(const FlowKey& key) const;
};

std::optional<FlowSelector> ParseFlowSelector(std::string_view text, std::string& why);
