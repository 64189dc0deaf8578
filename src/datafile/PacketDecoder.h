#pragma once
// Finds the TCP segment or UDP datagram in a captured packet: through the link header (Ethernet
// with 802.1Q/802.1ad tags, Linux cooked v1 and v2, raw IP, BSD loopback) and the IPv4 or IPv6
// header (IPv6 extension headers passed over), to the ports and the payload. Pure; any thread.
//
// A packet that is neither TCP nor UDP (ARP, ICMP, ...) is "other" and simply not part of any
// flow. A packet that may carry TCP or UDP but cannot be read is refused, with a text naming the
// packet: an unknown link type, an IPv4 or IPv6 fragment (fragments are not put together again),
// an encrypted IPv6 ESP header, headers cut off by the capture's snap length, or damaged headers.
// A payload cut by the snap length is not refused here: the packet says how much of it was kept,
// and whoever needs the bytes decides.
#include <cstddef>
#include <cstdint>
#include <string>

#include "datafile/CapturedPacket.h"
#include "datafile/FlowKey.h"

inline constexpr std::uint8_t kTcpFin = 0x01;
inline constexpr std::uint8_t kTcpSyn = 0x02;
inline constexpr std::uint8_t kTcpReset = 0x04;

struct DecodedPacket {
    FlowKey flow;
    std::uint32_t sequence = 0;  // TCP: the sequence number of the segment
    std::uint8_t tcpFlags = 0;   // TCP: kTcpFin, kTcpSyn, kTcpReset...
    // Where the payload begins in the packet's bytes: past them when the snap length cut the
    // headers' end (capturedPayload is then 0).
    std::size_t payloadOffset = 0;
    std::uint32_t payloadLength = 0;    // the payload's bytes on the wire
    std::uint32_t capturedPayload = 0;  // of which the capture kept these (from the start)
};

enum class PacketKind {
    kFlow,     // a TCP segment or UDP datagram: `decoded` describes it
    kOther,    // neither TCP nor UDP
    kRefused,  // cannot be read; `why` says why, naming the packet
};

PacketKind DecodePacket(const CapturedPacket& packet, DecodedPacket& decoded, std::string& why);
