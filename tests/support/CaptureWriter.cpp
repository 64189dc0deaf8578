#include "CaptureWriter.h"

#include <stdexcept>

#include "datafile/FlowKey.h"

namespace {
void PutBig16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value & 0xFF);
}

void PutBig32(std::string& out, std::uint32_t value) {
    PutBig16(out, static_cast<std::uint16_t>(value >> 16));
    PutBig16(out, static_cast<std::uint16_t>(value & 0xFFFF));
}

std::string Ordered(std::uint64_t value, int size, CaptureByteOrder order) {
    std::string out(static_cast<std::size_t>(size), '\0');
    for (int n = 0; n < size; ++n) {
        const auto byte = static_cast<char>((value >> (8 * n)) & 0xFF);
        out[static_cast<std::size_t>(order == CaptureByteOrder::kLittle ? n : size - 1 - n)] = byte;
    }
    return out;
}

IpAddress AddressOf(const std::string& text) {
    const std::optional<IpAddress> address = ParseIpAddress(text);
    if (!address) {
        throw std::invalid_argument("not an address: " + text);
    }
    return *address;
}

std::string AddressBytes(const IpAddress& address) {
    return std::string(reinterpret_cast<const char*>(address.bytes.data()), address.bIpv6 ? 16 : 4);
}

// The IP header (v4 or v6 by the addresses) for `protocol` and `body`.
std::string IpPacket(const TestEndpoint& from, const TestEndpoint& to, std::uint8_t protocol,
                     const std::string& body) {
    const IpAddress source = AddressOf(from.address);
    const IpAddress destination = AddressOf(to.address);
    std::string packet;
    if (!source.bIpv6) {
        packet += '\x45';
        packet += '\0';
        PutBig16(packet, static_cast<std::uint16_t>(20 + body.size()));
        PutBig16(packet, 0x1234);  // identification
        PutBig16(packet, 0x4000);  // don't fragment
        packet += '\x40';          // TTL
        packet += static_cast<char>(protocol);
        PutBig16(packet, 0);  // checksum, below
        packet += AddressBytes(source) + AddressBytes(destination);
        std::uint32_t sum = 0;
        for (std::size_t n = 0; n < 20; n += 2) {
            sum += (static_cast<std::uint8_t>(packet[n]) << 8) |
                   static_cast<std::uint8_t>(packet[n + 1]);
        }
        while (sum > 0xFFFF) {
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
        packet[10] = static_cast<char>((~sum >> 8) & 0xFF);
        packet[11] = static_cast<char>(~sum & 0xFF);
    } else {
        PutBig32(packet, 0x60000000);
        PutBig16(packet, static_cast<std::uint16_t>(body.size()));
        packet += static_cast<char>(protocol);
        packet += '\x40';  // hop limit
        packet += AddressBytes(source) + AddressBytes(destination);
    }
    return packet + body;
}

std::string TcpHeader(const TestEndpoint& from, const TestEndpoint& to, std::uint32_t sequence,
                      std::uint8_t flags) {
    std::string header;
    PutBig16(header, from.port);
    PutBig16(header, to.port);
    PutBig32(header, sequence);
    PutBig32(header, 0);  // acknowledgement
    header += '\x50';     // 20-byte header
    header += static_cast<char>(flags);
    PutBig16(header, 65535);  // window
    PutBig32(header, 0);      // checksum, urgent pointer
    return header;
}
}  // namespace

std::string TcpPacket(const TestEndpoint& from, const TestEndpoint& to, std::uint32_t sequence,
                      std::uint8_t flags, const std::string& payload) {
    return IpPacket(from, to, 6, TcpHeader(from, to, sequence, flags) + payload);
}

std::string UdpPacket(const TestEndpoint& from, const TestEndpoint& to,
                      const std::string& payload) {
    std::string header;
    PutBig16(header, from.port);
    PutBig16(header, to.port);
    PutBig16(header, static_cast<std::uint16_t>(8 + payload.size()));
    PutBig16(header, 0);
    return IpPacket(from, to, 17, header + payload);
}

std::string TcpPacketBehindIpv6Options(const TestEndpoint& from, const TestEndpoint& to,
                                       std::uint32_t sequence, const std::string& payload) {
    // Hop-by-hop (next: destination options), 8 bytes; destination options (next: TCP), 16.
    std::string options = std::string("\x3c\x00", 2) + std::string(6, '\x01');
    options += std::string("\x06\x01", 2) + std::string(14, '\x01');
    std::string packet =
        IpPacket(from, to, 0, options + TcpHeader(from, to, sequence, 0x18) + payload);
    return packet;
}

std::string AsIpv4Fragment(std::string packet, std::uint16_t offset, bool bMore) {
    const std::uint16_t field = static_cast<std::uint16_t>((bMore ? 0x2000 : 0) | (offset / 8));
    packet[6] = static_cast<char>(field >> 8);
    packet[7] = static_cast<char>(field & 0xFF);
    return packet;
}

std::string EthernetFrameOf(std::uint16_t etherType, const std::string& body) {
    std::string frame = "\x02\x00\x00\x00\x00\x02\x02\x00\x00\x00\x00\x01";
    frame.resize(12);
    PutBig16(frame, etherType);
    return frame + body;
}

std::string EthernetFrame(const std::string& ipPacket, const std::vector<VlanTag>& tags) {
    const std::uint16_t etherType =
        (static_cast<std::uint8_t>(ipPacket[0]) >> 4) == 6 ? 0x86DD : 0x0800;
    std::string inner;
    for (std::size_t n = 0; n < tags.size(); ++n) {
        PutBig16(inner, tags[n].id);
        PutBig16(inner, n + 1 < tags.size() ? tags[n + 1].protocol : etherType);
    }
    return EthernetFrameOf(tags.empty() ? etherType : tags.front().protocol, inner + ipPacket);
}

std::string LinuxCookedFrame(const std::string& ipPacket) {
    std::string header;
    PutBig16(header, 4);  // sent by us
    PutBig16(header, 1);  // ARPHRD_ETHER
    PutBig16(header, 6);
    header += std::string("\x02\x00\x00\x00\x00\x01\x00\x00", 8);
    PutBig16(header, (static_cast<std::uint8_t>(ipPacket[0]) >> 4) == 6 ? 0x86DD : 0x0800);
    return header + ipPacket;
}

std::string LinuxCookedV2Frame(const std::string& ipPacket) {
    std::string header;
    PutBig16(header, (static_cast<std::uint8_t>(ipPacket[0]) >> 4) == 6 ? 0x86DD : 0x0800);
    PutBig16(header, 0);
    PutBig32(header, 3);  // interface index
    PutBig16(header, 1);  // ARPHRD_ETHER
    header += '\x04';     // sent by us
    header += '\x06';
    header += std::string("\x02\x00\x00\x00\x00\x01\x00\x00", 8);
    return header + ipPacket;
}

std::string LoopbackFrame(const std::string& ipPacket, CaptureByteOrder order) {
    const bool bIpv6 = (static_cast<std::uint8_t>(ipPacket[0]) >> 4) == 6;
    return Ordered(bIpv6 ? 30 : 2, 4, order) + ipPacket;
}

PcapFileWriter::PcapFileWriter(std::uint32_t linkType, CaptureByteOrder order, bool bNanoseconds,
                               std::uint32_t snapLength)
    : m_order(order), m_bNanoseconds(bNanoseconds), m_snapLength(snapLength) {
    Put32(bNanoseconds ? 0xA1B23C4D : 0xA1B2C3D4);
    m_bytes += Ordered(2, 2, order) + Ordered(4, 2, order);
    Put32(0);  // time zone
    Put32(0);  // accuracy
    Put32(snapLength);
    Put32(linkType);
}

void PcapFileWriter::Put32(std::uint32_t value) {
    m_bytes += Ordered(value, 4, m_order);
}

void PcapFileWriter::Add(std::int64_t timeNs, const std::string& frame,
                         std::optional<std::uint32_t> originalLength) {
    const std::string kept = frame.substr(0, m_snapLength);
    Put32(static_cast<std::uint32_t>(timeNs / 1000000000));
    const auto fraction = static_cast<std::uint32_t>(timeNs % 1000000000);
    Put32(m_bNanoseconds ? fraction : fraction / 1000);
    Put32(static_cast<std::uint32_t>(kept.size()));
    Put32(originalLength.value_or(static_cast<std::uint32_t>(frame.size())));
    m_bytes += kept;
}

PcapngFileWriter::PcapngFileWriter(CaptureByteOrder order) : m_order(order) {
    Section(order);
}

std::string PcapngFileWriter::U16(std::uint16_t value) const {
    return Ordered(value, 2, m_order);
}

std::string PcapngFileWriter::U32(std::uint32_t value) const {
    return Ordered(value, 4, m_order);
}

void PcapngFileWriter::Block(std::uint32_t type, const std::string& body) {
    std::string padded = body;
    padded.resize((padded.size() + 3) / 4 * 4, '\0');
    const auto length = static_cast<std::uint32_t>(12 + padded.size());
    m_bytes += U32(type) + U32(length) + padded + U32(length);
}

void PcapngFileWriter::Section(CaptureByteOrder order) {
    m_order = order;
    // Byte-order mark, version 1.0, section length unknown (-1), no options.
    Block(0x0A0D0D0A, U32(0x1A2B3C4D) + U16(1) + U16(0) + std::string(8, '\xff'));
}

void PcapngFileWriter::Interface(std::uint16_t linkType, std::uint32_t snapLength,
                                 std::optional<std::uint8_t> timeResolution,
                                 std::optional<std::int64_t> timeOffset) {
    std::string body = U16(linkType) + U16(0) + U32(snapLength);
    // An option the reader does not use comes first: if_name "eth0".
    body += U16(2) + U16(4) + "eth0";
    if (timeResolution) {
        body += U16(9) + U16(1) + std::string(1, static_cast<char>(*timeResolution)) +
                std::string(3, '\0');
    }
    if (timeOffset) {
        body += U16(14) + U16(8) + Ordered(static_cast<std::uint64_t>(*timeOffset), 8, m_order);
    }
    body += U16(0) + U16(0);
    Block(1, body);
}

void PcapngFileWriter::Enhanced(std::uint32_t interfaceId, std::uint64_t stamp,
                                const std::string& captured,
                                std::optional<std::uint32_t> originalLength) {
    Block(6, U32(interfaceId) + U32(static_cast<std::uint32_t>(stamp >> 32)) +
                 U32(static_cast<std::uint32_t>(stamp & 0xFFFFFFFF)) +
                 U32(static_cast<std::uint32_t>(captured.size())) +
                 U32(originalLength.value_or(static_cast<std::uint32_t>(captured.size()))) +
                 captured);
}

void PcapngFileWriter::Simple(const std::string& captured,
                              std::optional<std::uint32_t> originalLength) {
    Block(3, U32(originalLength.value_or(static_cast<std::uint32_t>(captured.size()))) + captured);
}

void PcapngFileWriter::Other(std::uint32_t type, const std::string& body) {
    Block(type, body);
}
