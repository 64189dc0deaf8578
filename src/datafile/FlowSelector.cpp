#include "datafile/FlowSelector.h"

#include <utility>

namespace {
std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// "10.0.0.5:9100" or "[fe80::1]:9100".
bool ParseEnd(std::string_view text, IpAddress& address, std::uint16_t& port, std::string& why) {
    text = Trim(text);
    std::string_view host;
    std::string_view portText;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            why = "'" + std::string(text) + "' is not [IPV6]:PORT";
            return false;
        }
        host = text.substr(1, close - 1);
        portText = text.substr(close + 2);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string_view::npos || text.find(':') != colon) {
            why = "'" + std::string(text) +
                  "' is not ADDRESS:PORT (an IPv6 address goes in brackets)";
            return false;
        }
        host = text.substr(0, colon);
        portText = text.substr(colon + 1);
    }
    const std::optional<IpAddress> parsed = ParseIpAddress(host);
    if (!parsed || parsed->bIpv6 != (text.front() == '[')) {
        why = "'" + std::string(host) + "' is not an IP address";
        return false;
    }
    const std::optional<std::uint16_t> number = ParsePort(portText);
    if (!number) {
        why = "'" + std::string(portText) + "' is not a port (1 to 65535)";
        return false;
    }
    address = *parsed;
    port = *number;
    return true;
}
}  // namespace

bool FlowSelector::Matches(const FlowKey& key) const {
    return (!protocol || *protocol == key.protocol) &&
           (!source || (*source == key.source && sourcePort == key.sourcePort)) &&
           (!destination || *destination == key.destination) &&
           (destinationPort == 0 || destinationPort == key.destinationPort);
}

std::optional<FlowSelector> ParseFlowSelector(std::string_view text, std::string& why) {
    FlowSelector selector;
    text = Trim(text);
    if (text.find('>') == std::string_view::npos) {
        const std::optional<std::uint16_t> port = ParsePort(text);
        if (!port) {
            why = "'" + std::string(text) +
                  "' is neither a destination port (1 to 65535) nor SOURCE:PORT>DESTINATION:PORT";
            return std::nullopt;
        }
        selector.destinationPort = *port;
        return selector;
    }
    for (const auto& [name, protocol] :
         {std::pair{"tcp ", FlowProtocol::kTcp}, std::pair{"udp ", FlowProtocol::kUdp}}) {
        if (text.substr(0, 4) == name) {
            selector.protocol = protocol;
            text.remove_prefix(4);
            break;
        }
    }
    const std::size_t arrow = text.find('>');
    if (text.find('>', arrow + 1) != std::string_view::npos) {
        why = "'" + std::string(text) + "' has more than one '>'";
        return std::nullopt;
    }
    IpAddress source;
    IpAddress destination;
    if (!ParseEnd(text.substr(0, arrow), source, selector.sourcePort, why) ||
        !ParseEnd(text.substr(arrow + 1), destination, selector.destinationPort, why)) {
        return std::nullopt;
    }
    selector.source = source;
    selector.destination = destination;
    return selector;
}
