#include "datafile/FlowKey.h"

#include <algorithm>
#include <cstdio>
#include <vector>

std::size_t FlowKeyHash::operator()(const FlowKey& key) const {
    // FNV-1a over the fields: cheap, and spreads the few bytes that differ between flows.
    std::uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](std::uint8_t byte) {
        hash ^= byte;
        hash *= 1099511628211ull;
    };
    mix(static_cast<std::uint8_t>(key.protocol));
    for (const IpAddress* address : {&key.source, &key.destination}) {
        mix(address->bIpv6 ? 1 : 0);
        for (std::size_t n = 0; n < (address->bIpv6 ? 16u : 4u); ++n) {
            mix(address->bytes[n]);
        }
    }
    for (const std::uint16_t port : {key.sourcePort, key.destinationPort}) {
        mix(static_cast<std::uint8_t>(port >> 8));
        mix(static_cast<std::uint8_t>(port & 0xFF));
    }
    return static_cast<std::size_t>(hash);
}

const char* FlowProtocolName(FlowProtocol protocol) {
    return protocol == FlowProtocol::kTcp ? "tcp" : "udp";
}

std::string FormatIpAddress(const IpAddress& address) {
    char text[48];
    if (!address.bIpv6) {
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", address.bytes[0], address.bytes[1],
                      address.bytes[2], address.bytes[3]);
        return text;
    }
    unsigned groups[8];
    for (int n = 0; n < 8; ++n) {
        groups[n] = (unsigned{address.bytes[2 * n]} << 8) | address.bytes[2 * n + 1];
    }
    // The longest run of two or more zero groups (the first of equal ones) becomes "::".
    int bestStart = -1;
    int bestLength = 1;
    for (int n = 0; n < 8;) {
        if (groups[n] != 0) {
            ++n;
            continue;
        }
        int end = n;
        while (end < 8 && groups[end] == 0) {
            ++end;
        }
        if (end - n > bestLength) {
            bestStart = n;
            bestLength = end - n;
        }
        n = end;
    }
    std::string result;
    for (int n = 0; n < 8; ++n) {
        if (n == bestStart) {
            result += "::";
            n += bestLength - 1;
            continue;
        }
        if (!result.empty() && result.back() != ':') {
            result += ':';
        }
        std::snprintf(text, sizeof text, "%x", groups[n]);
        result += text;
    }
    return result;
}

std::string FormatEndpoint(const IpAddress& address, std::uint16_t port) {
    const std::string host = FormatIpAddress(address);
    return (address.bIpv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string FormatFlow(const FlowKey& key) {
    return std::string(FlowProtocolName(key.protocol)) + " " +
           FormatEndpoint(key.source, key.sourcePort) + " > " +
           FormatEndpoint(key.destination, key.destinationPort);
}

namespace {
// Dotted IPv4 into `out[0..3]`.
bool ParseDotted(std::string_view text, std::uint8_t* out) {
    int part = 0;
    std::size_t at = 0;
    while (part < 4) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || value > 255) {
            return false;
        }
        out[part++] = static_cast<std::uint8_t>(value);
        if (part < 4) {
            if (at >= text.size() || text[at] != '.') {
                return false;
            }
            ++at;
        }
    }
    return at == text.size();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The groups of one side of "::" (or of a whole address without one); a dotted IPv4 tail, where
// `bTailAllowed`, counts as two groups.
bool ParseGroups(std::string_view text, bool bTailAllowed, std::vector<std::uint16_t>& groups) {
    if (text.empty()) {
        return true;
    }
    std::size_t at = 0;
    for (;;) {
        const std::size_t end = std::min(text.find(':', at), text.size());
        const std::string_view group = text.substr(at, end - at);
        if (end == text.size() && bTailAllowed && group.find('.') != std::string_view::npos) {
            std::uint8_t tail[4];
            if (!ParseDotted(group, tail)) {
                return false;
            }
            groups.push_back(static_cast<std::uint16_t>((tail[0] << 8) | tail[1]));
            groups.push_back(static_cast<std::uint16_t>((tail[2] << 8) | tail[3]));
            return true;
        }
        if (group.empty() || group.size() > 4) {
            return false;
        }
        unsigned value = 0;
        for (const char c : group) {
            const int digit = HexDigit(c);
            if (digit < 0) {
                return false;
            }
            value = value * 16 + static_cast<unsigned>(digit);
        }
        groups.push_back(static_cast<std::uint16_t>(value));
        if (end == text.size()) {
            return true;
        }
        at = end + 1;
    }
}
}  // namespace

std::optional<IpAddress> ParseIpAddress(std::string_view text) {
    IpAddress address;
    if (text.find(':') == std::string_view::npos) {
        if (!ParseDotted(text, address.bytes.data())) {
            return std::nullopt;
        }
        return address;
    }
    address.bIpv6 = true;
    std::vector<std::uint16_t> head;
    std::vector<std::uint16_t> tail;
    const std::size_t gap = text.find("::");
    if (gap == std::string_view::npos) {
        if (!ParseGroups(text, true, head) || head.size() != 8) {
            return std::nullopt;
        }
    } else {
        const std::string_view after = text.substr(gap + 2);
        if (after.find("::") != std::string_view::npos ||
            !ParseGroups(text.substr(0, gap), false, head) || !ParseGroups(after, true, tail) ||
            head.size() + tail.size() > 7) {
            return std::nullopt;
        }
        head.resize(8 - tail.size(), 0);
    }
    head.insert(head.end(), tail.begin(), tail.end());
    for (std::size_t n = 0; n < 8; ++n) {
        address.bytes[2 * n] = static_cast<std::uint8_t>(head[n] >> 8);
        address.bytes[2 * n + 1] = static_cast<std::uint8_t>(head[n] & 0xFF);
    }
    return address;
}
