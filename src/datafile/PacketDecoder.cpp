#include "datafile/PacketDecoder.h"

#include <algorithm>

namespace {
constexpr std::uint16_t kEtherTypeIpv4 = 0x0800;
constexpr std::uint16_t kEtherTypeIpv6 = 0x86DD;
constexpr std::uint16_t kEtherTypeVlan = 0x8100;     // 802.1Q
constexpr std::uint16_t kEtherTypeQinQ = 0x88A8;     // 802.1ad
constexpr std::uint16_t kEtherTypeQinQOld = 0x9100;  // before 802.1ad had its own

constexpr std::uint8_t kProtocolTcp = 6;
constexpr std::uint8_t kProtocolUdp = 17;

// Walks one packet's headers; every check that fails sets the refusal and returns kRefused.
class CHeaderWalk {
  public:
    CHeaderWalk(const CapturedPacket& packet, DecodedPacket& decoded, std::string& why)
        : m_packet(packet),
          m_bytes(packet.bytes.data()),
          m_captured(packet.bytes.size()),
          m_wire(std::max<std::size_t>(packet.originalLength, packet.bytes.size())),
          m_decoded(decoded),
          m_why(why) {}

    PacketKind Decode() {
        std::size_t at = 0;
        int version = 0;
        std::uint16_t etherType = 0;
        bool bEtherType = false;
        switch (m_packet.linkType) {
            case kLinkTypeEthernet:
                if (!Need(14, "its Ethernet header")) {
                    return PacketKind::kRefused;
                }
                etherType = U16(12);
                at = 14;
                bEtherType = true;
                break;
            case kLinkTypeLinuxSll:
                if (!Need(16, "its Linux cooked header")) {
                    return PacketKind::kRefused;
                }
                etherType = U16(14);
                at = 16;
                bEtherType = true;
                break;
            case kLinkTypeLinuxSll2:
                if (!Need(20, "its Linux cooked header")) {
                    return PacketKind::kRefused;
                }
                etherType = U16(0);
                at = 20;
                bEtherType = true;
                break;
            case kLinkTypeNull:
            case kLinkTypeLoop: {
                if (!Need(4, "its loopback header")) {
                    return PacketKind::kRefused;
                }
                // The family is in the capturing machine's byte order (BSD loopback) or in
                // network order (OpenBSD's); a family is small, so the order shows.
                std::uint32_t family = U32(0);
                if (m_packet.linkType == kLinkTypeNull && family > 0xFFFF) {
                    family = (family >> 24) | ((family >> 8) & 0xFF00) |
                             ((family << 8) & 0xFF0000) | (family << 24);
                }
                // AF_INET everywhere; AF_INET6 is 10 (Linux), 24 (NetBSD, OpenBSD), 28 (FreeBSD),
                // 30 (macOS).
                if (family == 2) {
                    version = 4;
                } else if (family == 10 || family == 24 || family == 28 || family == 30) {
                    version = 6;
                } else {
                    return PacketKind::kOther;
                }
                at = 4;
                break;
            }
            case kLinkTypeRaw:
            case kLinkTypeRawOld:
            case kLinkTypeRawOpenBsd:
                if (!Need(1, "its IP header")) {
                    return PacketKind::kRefused;
                }
                version = m_bytes[0] >> 4;
                if (version != 4 && version != 6) {
                    return Refuse("raw IP of version " + std::to_string(version));
                }
                break;
            case kLinkTypeIpv4:
                version = 4;
                break;
            case kLinkTypeIpv6:
                version = 6;
                break;
            default:
                return Refuse("link type " + std::to_string(m_packet.linkType) +
                              " is not one this program reads (Ethernet, Linux cooked, raw IP "
                              "and loopback captures are)");
        }
        if (bEtherType) {
            while (etherType == kEtherTypeVlan || etherType == kEtherTypeQinQ ||
                   etherType == kEtherTypeQinQOld) {
                if (!Need(at + 4, "its VLAN tags")) {
                    return PacketKind::kRefused;
                }
                etherType = U16(at + 2);
                at += 4;
            }
            if (etherType == kEtherTypeIpv4) {
                version = 4;
            } else if (etherType == kEtherTypeIpv6) {
                version = 6;
            } else {
                return PacketKind::kOther;
            }
        }
        return version == 4 ? Ipv4(at) : Ipv6(at);
    }

  private:
    std::uint16_t U16(std::size_t at) const {
        return static_cast<std::uint16_t>((m_bytes[at] << 8) | m_bytes[at + 1]);
    }
    std::uint32_t U32(std::size_t at) const {
        return (std::uint32_t{m_bytes[at]} << 24) | (std::uint32_t{m_bytes[at + 1]} << 16) |
               (std::uint32_t{m_bytes[at + 2]} << 8) | m_bytes[at + 3];
    }

    PacketKind Refuse(const std::string& text) {
        m_why = "packet " + std::to_string(m_packet.number) + ": " + text;
        return PacketKind::kRefused;
    }

    // True when the first `size` bytes were captured; otherwise refuses, saying whether the snap
    // length cut them or the packet itself is too short (`what`: the headers that are missing).
    bool Need(std::size_t size, const std::string& what) {
        if (m_captured >= size) {
            return true;
        }
        if (m_captured < m_wire) {
            Refuse("the capture kept " + std::to_string(m_captured) + " of its " +
                   std::to_string(m_wire) + " bytes (snap length), not all of " + what);
        } else {
            Refuse("too short for " + what + " (" + std::to_string(m_captured) +
                   " bytes; damaged?)");
        }
        return false;
    }

    PacketKind Ipv4(std::size_t at) {
        if (!Need(at + 20, "its IPv4 header")) {
            return PacketKind::kRefused;
        }
        if ((m_bytes[at] >> 4) != 4) {
            return Refuse("an IPv4 header of version " + std::to_string(m_bytes[at] >> 4) +
                          " (damaged?)");
        }
        const std::size_t headerLength = std::size_t{m_bytes[at] & 0x0Fu} * 4;
        std::size_t total = U16(at + 2);
        if (total == 0) {
            // Taken on the sending machine with segmentation offload, the length is left for the
            // card to fill in: the packet is as long as the frame.
            total = m_wire - at;
        }
        if (headerLength < 20 || total < headerLength || at + total > m_wire) {
            return Refuse("a damaged IPv4 header (header " + std::to_string(headerLength) +
                          " bytes, total " + std::to_string(total) + ", in a packet of " +
                          std::to_string(m_wire) + ")");
        }
        const std::uint8_t protocol = m_bytes[at + 9];
        if (protocol != kProtocolTcp && protocol != kProtocolUdp) {
            return PacketKind::kOther;
        }
        const std::uint16_t fragment = U16(at + 6);
        if ((fragment & 0x3FFF) != 0) {
            return Refuse("an IPv4 fragment (identification " + std::to_string(U16(at + 4)) +
                          ", offset " + std::to_string((fragment & 0x1FFF) * 8) +
                          "); fragments are not put together again");
        }
        IpAddress source;
        IpAddress destination;
        std::copy_n(m_bytes + at + 12, 4, source.bytes.begin());
        std::copy_n(m_bytes + at + 16, 4, destination.bytes.begin());
        return Transport(protocol, source, destination, at + headerLength, total - headerLength);
    }

    PacketKind Ipv6(std::size_t at) {
        if (!Need(at + 40, "its IPv6 header")) {
            return PacketKind::kRefused;
        }
        if ((m_bytes[at] >> 4) != 6) {
            return Refuse("an IPv6 header of version " + std::to_string(m_bytes[at] >> 4) +
                          " (damaged?)");
        }
        std::size_t length = U16(at + 4);
        if (length == 0) {
            // A jumbogram, or a length left to the card as with IPv4: as long as the frame.
            length = m_wire - at - 40;
        }
        if (at + 40 + length > m_wire) {
            return Refuse("a damaged IPv6 header (payload " + std::to_string(length) +
                          " bytes, in a packet of " + std::to_string(m_wire) + ")");
        }
        IpAddress source;
        IpAddress destination;
        source.bIpv6 = destination.bIpv6 = true;
        std::copy_n(m_bytes + at + 8, 16, source.bytes.begin());
        std::copy_n(m_bytes + at + 24, 16, destination.bytes.begin());
        std::uint8_t next = m_bytes[at + 6];
        std::size_t position = at + 40;
        const std::size_t end = at + 40 + length;
        for (;;) {
            std::size_t headerLength = 0;
            switch (next) {
                case kProtocolTcp:
                case kProtocolUdp:
                    return Transport(next, source, destination, position, end - position);
                case 0:    // hop-by-hop options
                case 43:   // routing
                case 60:   // destination options
                case 135:  // mobility
                case 139:  // host identity
                case 140:  // shim6
                case 253:  // experiments
                case 254:
                    if (!HasExtensionHeader(position, end, 2)) {
                        return PacketKind::kRefused;
                    }
                    headerLength = (std::size_t{m_bytes[position + 1]} + 1) * 8;
                    break;
                case 51:  // authentication header: its length counts 4-byte words, less 2
                    if (!HasExtensionHeader(position, end, 2)) {
                        return PacketKind::kRefused;
                    }
                    headerLength = (std::size_t{m_bytes[position + 1]} + 2) * 4;
                    break;
                case 44: {  // fragment
                    if (!HasExtensionHeader(position, end, 8)) {
                        return PacketKind::kRefused;
                    }
                    const std::uint16_t offset = U16(position + 2);
                    const std::uint8_t inner = m_bytes[position];
                    // A fragment header that fragments nothing (offset 0, no more) is passed over.
                    if ((offset & 0xFFF9) != 0 &&
                        (inner == kProtocolTcp || inner == kProtocolUdp)) {
                        return Refuse("an IPv6 fragment (identification " +
                                      std::to_string(U32(position + 4)) + ", offset " +
                                      std::to_string(offset & 0xFFF8) +
                                      "); fragments are not put together again");
                    }
                    if ((offset & 0xFFF9) != 0) {
                        return PacketKind::kOther;
                    }
                    headerLength = 8;
                    break;
                }
                case 50:
                    return Refuse(
                        "an IPv6 ESP header: what it carries is encrypted and cannot be read");
                default:  // ICMPv6, "no next header", any other protocol
                    return PacketKind::kOther;
            }
            next = m_bytes[position];
            position += headerLength;
            if (position > end) {
                return Refuse("a damaged IPv6 extension header (it runs past the packet's end)");
            }
        }
    }

    // True when `size` bytes of an extension header at `position` lie inside the IPv6 payload
    // and were captured; otherwise refuses.
    bool HasExtensionHeader(std::size_t position, std::size_t end, std::size_t size) {
        if (position + size > end) {
            Refuse("a damaged IPv6 extension header (it runs past the packet's end)");
            return false;
        }
        return Need(position + size, "its IPv6 extension headers");
    }

    PacketKind Transport(std::uint8_t protocol, const IpAddress& source,
                         const IpAddress& destination, std::size_t at, std::size_t length) {
        DecodedPacket& d = m_decoded;
        d = DecodedPacket{};
        d.flow.protocol = protocol == kProtocolTcp ? FlowProtocol::kTcp : FlowProtocol::kUdp;
        d.flow.source = source;
        d.flow.destination = destination;
        std::size_t headerLength = 0;
        if (protocol == kProtocolTcp) {
            if (length < 20) {
                return Refuse("a damaged TCP header (" + std::to_string(length) + " bytes)");
            }
            if (!Need(at + 20, "its TCP header")) {
                return PacketKind::kRefused;
            }
            headerLength = std::size_t{m_bytes[at + 12]} / 16 * 4;
            if (headerLength < 20 || headerLength > length) {
                return Refuse("a damaged TCP header (data offset " + std::to_string(headerLength) +
                              " of " + std::to_string(length) + " bytes)");
            }
            d.sequence = U32(at + 4);
            d.tcpFlags = m_bytes[at + 13];
        } else {
            if (length < 8) {
                return Refuse("a damaged UDP header (" + std::to_string(length) + " bytes)");
            }
            if (!Need(at + 8, "its UDP header")) {
                return PacketKind::kRefused;
            }
            headerLength = 8;
            // The datagram's own length, where it is sane, leaves out any padding after it.
            const std::size_t datagram = U16(at + 4);
            if (datagram >= 8 && datagram < length) {
                length = datagram;
            }
        }
        d.flow.sourcePort = U16(at);
        d.flow.destinationPort = U16(at + 2);
        d.payloadOffset = at + headerLength;
        d.payloadLength = static_cast<std::uint32_t>(length - headerLength);
        d.capturedPayload = static_cast<std::uint32_t>(
            m_captured > d.payloadOffset
                ? std::min<std::size_t>(m_captured - d.payloadOffset, d.payloadLength)
                : 0);
        return PacketKind::kFlow;
    }

    const CapturedPacket& m_packet;
    const std::uint8_t* m_bytes;
    const std::size_t m_captured;
    const std::size_t m_wire;  // the packet's length on the wire (never less than what was kept)
    DecodedPacket& m_decoded;
    std::string& m_why;
};
}  // namespace

PacketKind DecodePacket(const CapturedPacket& packet, DecodedPacket& decoded, std::string& why) {
    return CHeaderWalk(packet, decoded, why).Decode();
}
