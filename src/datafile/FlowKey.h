#pragma once
// Names one direction of a conversation in a packet capture: the protocol (TCP or UDP) and the
// source and destination addresses and ports. Addresses are IPv4 or IPv6, written as people read
// them ("10.0.0.5", "fe80::1") and back. Plain values and pure functions; any thread. A text that
// is no address gives an empty result, never an exception.
#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class FlowProtocol : std::uint8_t { kTcp = 6, kUdp = 17 };

struct IpAddress {
    bool bIpv6 = false;
    std::array<std::uint8_t, 16> bytes{};  // an IPv4 address in the first four, the rest 0

    auto operator<=>(const IpAddress&) const = default;
};

struct FlowKey {
    FlowProtocol protocol = FlowProtocol::kTcp;
    IpAddress source;
    std::uint16_t sourcePort = 0;
    IpAddress destination;
    std::uint16_t destinationPort = 0;

    auto operator<=>(const FlowKey&) const = default;
};

struct FlowKeyHash {
    std::size_t operator()(const FlowKey& key) const;
};

// "tcp" or "udp".
const char* FlowProtocolName(FlowProtocol protocol);
// Dotted IPv4; IPv6 in its shortest form (RFC 5952: lower case, the longest run of zero groups
// as "::").
std::string FormatIpAddress(const IpAddress& address);
// "10.0.0.5:9100"; an IPv6 address in brackets, "[fe80::1]:9100".
std::string FormatEndpoint(const IpAddress& address, std::uint16_t port);
// "tcp 10.0.0.5:50123 > 10.0.0.9:9100".
std::string FormatFlow(const FlowKey& key);

// A dotted IPv4 address (four decimal numbers 0..255) or an IPv6 address in any of its written
// forms (with "::", a dotted IPv4 tail); empty for anything else.
std::optional<IpAddress> ParseIpAddress(std::string_view text);
