#pragma once
// Makes packet captures for tests, byte by byte as the documented formats lay them out: IP
// packets carrying TCP segments or UDP datagrams, the link headers around them, and classic pcap
// and pcapng files in either byte order. Nothing here is read from elsewhere: every capture a
// test reads is made by the test. Test use only; plain values.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class CaptureByteOrder { kLittle, kBig };

// One end of a flow: an IPv4 or IPv6 address as text and a port.
struct TestEndpoint {
    std::string address;
    std::uint16_t port = 0;
};

// An IPv4 or IPv6 packet (by the addresses' kind) holding one TCP segment.
std::string TcpPacket(const TestEndpoint& from, const TestEndpoint& to, std::uint32_t sequence,
                      std::uint8_t flags, const std::string& payload);
// The same holding one UDP datagram.
std::string UdpPacket(const TestEndpoint& from, const TestEndpoint& to, const std::string& payload);
// An IPv6 packet whose TCP segment follows a hop-by-hop and a destination options header.
std::string TcpPacketBehindIpv6Options(const TestEndpoint& from, const TestEndpoint& to,
                                       std::uint32_t sequence, const std::string& payload);
// Makes an IPv4 packet a fragment: `offset` in bytes (a multiple of 8), `bMore` the MF flag.
std::string AsIpv4Fragment(std::string packet, std::uint16_t offset, bool bMore);

// Link headers around an IP packet. `tags` are VLAN tags, outermost first, each a tag protocol
// (0x8100, 0x88a8) and an ID.
struct VlanTag {
    std::uint16_t protocol = 0x8100;
    std::uint16_t id = 0;
};
std::string EthernetFrame(const std::string& ipPacket, const std::vector<VlanTag>& tags = {});
std::string EthernetFrameOf(std::uint16_t etherType, const std::string& body);
std::string LinuxCookedFrame(const std::string& ipPacket);    // SLL, link type 113
std::string LinuxCookedV2Frame(const std::string& ipPacket);  // SLL2, link type 276
std::string LoopbackFrame(const std::string& ipPacket, CaptureByteOrder order);  // link type 0

// A classic pcap file.
class PcapFileWriter {
  public:
    PcapFileWriter(std::uint32_t linkType, CaptureByteOrder order, bool bNanoseconds,
                   std::uint32_t snapLength = 262144);
    // One packet: `timeNs` since 1970; the bytes kept are `frame` cut to the snap length, and
    // the original length is the frame's (or `originalLength` when given).
    void Add(std::int64_t timeNs, const std::string& frame,
             std::optional<std::uint32_t> originalLength = std::nullopt);
    const std::string& Bytes() const { return m_bytes; }

  private:
    void Put32(std::uint32_t value);
    CaptureByteOrder m_order;
    bool m_bNanoseconds;
    std::uint32_t m_snapLength;
    std::string m_bytes;
};

// A pcapng file: sections, interfaces and blocks in the order they are added.
class PcapngFileWriter {
  public:
    // Begins the file with a section in `order`.
    explicit PcapngFileWriter(CaptureByteOrder order);
    // Begins another section; its interfaces are numbered from 0 again.
    void Section(CaptureByteOrder order);
    // An interface; `timeResolution` is the if_tsresol byte (none: microseconds), `timeOffset`
    // the if_tsoffset seconds (none: no option).
    void Interface(std::uint16_t linkType, std::uint32_t snapLength = 0,
                   std::optional<std::uint8_t> timeResolution = std::nullopt,
                   std::optional<std::int64_t> timeOffset = std::nullopt);
    // An Enhanced Packet Block: the stamp in the interface's units.
    void Enhanced(std::uint32_t interfaceId, std::uint64_t stamp, const std::string& captured,
                  std::optional<std::uint32_t> originalLength = std::nullopt);
    // A Simple Packet Block (the section's first interface; no time).
    void Simple(const std::string& captured,
                std::optional<std::uint32_t> originalLength = std::nullopt);
    // A block of another type, which readers pass over.
    void Other(std::uint32_t type, const std::string& body);
    const std::string& Bytes() const { return m_bytes; }

  private:
    void Block(std::uint32_t type, const std::string& body);
    std::string U16(std::uint16_t value) const;
    std::string U32(std::uint32_t value) const;
    CaptureByteOrder m_order;
    std::string m_bytes;
};
