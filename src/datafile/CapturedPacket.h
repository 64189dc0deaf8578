#pragma once
// One packet as a capture file (pcap, pcapng) holds it: its place in the file, its time, the
// kind of link it was taken on and the bytes that were kept of it. A plain value; any thread.
#include <cstdint>
#include <vector>

// Link types of capture files (the LINKTYPE_ values tcpdump and Wireshark write) that the packet
// decoder reads.
inline constexpr std::uint32_t kLinkTypeNull = 0;         // BSD loopback: a 4-byte family
inline constexpr std::uint32_t kLinkTypeEthernet = 1;     // Ethernet, with 802.1Q/802.1ad tags
inline constexpr std::uint32_t kLinkTypeRawOld = 12;      // raw IP, as some systems once wrote it
inline constexpr std::uint32_t kLinkTypeRawOpenBsd = 14;  // raw IP, as OpenBSD wrote it
inline constexpr std::uint32_t kLinkTypeRaw = 101;        // raw IP: the packet begins with IPv4/v6
inline constexpr std::uint32_t kLinkTypeLoop = 108;       // OpenBSD loopback: family, network order
inline constexpr std::uint32_t kLinkTypeLinuxSll = 113;   // Linux "any" device, cooked header v1
inline constexpr std::uint32_t kLinkTypeIpv4 = 228;       // raw IPv4 only
inline constexpr std::uint32_t kLinkTypeIpv6 = 229;       // raw IPv6 only
inline constexpr std::uint32_t kLinkTypeLinuxSll2 = 276;  // Linux cooked header v2

struct CapturedPacket {
    std::uint64_t number = 0;      // from 1, in the order of the file
    std::uint64_t fileOffset = 0;  // where the packet's record (or block) begins in the file
    // Nanoseconds since 1970-01-01 00:00:00 UTC. A pcapng Simple Packet Block carries no time:
    // its packet has bTimed false and time 0 (as libpcap reports it).
    std::int64_t timeNs = 0;
    bool bTimed = true;
    std::uint32_t linkType = 0;
    std::uint32_t capturedLength = 0;  // bytes kept in the file (bytes.size())
    std::uint32_t originalLength = 0;  // bytes the packet had on the wire
    std::vector<std::uint8_t> bytes;
};
