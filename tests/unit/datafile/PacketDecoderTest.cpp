// Finding the flow and the payload in a captured packet: through every link header the decoder
// reads to the same TCP or UDP payload; traffic that is not TCP or UDP is left aside; what may be
// TCP or UDP but cannot be read is refused, naming the packet.
#include "datafile/PacketDecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CaptureWriter.h"

namespace {
const TestEndpoint kTill4{"10.0.0.5", 50123};
const TestEndpoint kDevice4{"10.0.0.9", 9100};
const TestEndpoint kTill6{"fd00::5", 50123};
const TestEndpoint kDevice6{"fd00::9", 9100};

CapturedPacket Packet(std::uint32_t linkType, const std::string& bytes,
                      std::uint32_t originalLength = 0) {
    CapturedPacket packet;
    packet.number = 7;
    packet.linkType = linkType;
    packet.bytes.assign(bytes.begin(), bytes.end());
    packet.capturedLength = static_cast<std::uint32_t>(bytes.size());
    packet.originalLength =
        originalLength != 0 ? originalLength : static_cast<std::uint32_t>(bytes.size());
    return packet;
}

TEST(PacketDecoderTest, EveryLinkLeadsToTheFlowAndItsPayload) {
    const std::string tcp4 = TcpPacket(kTill4, kDevice4, 4000000000u, 0x18, "Coffee\r\n");
    const std::string tcp6 = TcpPacket(kTill6, kDevice6, 7, 0x18, "Coffee\r\n");
    const std::string udp4 = UdpPacket(kTill4, kDevice4, "Coffee\r\n");
    struct Case {
        std::string name;
        std::uint32_t linkType;
        std::string bytes;
        std::string flow;
    };
    const std::string tcp4Flow = "tcp 10.0.0.5:50123 > 10.0.0.9:9100";
    const std::string tcp6Flow = "tcp [fd00::5]:50123 > [fd00::9]:9100";
    const std::vector<Case> cases = {
        {"Ethernet", 1, EthernetFrame(tcp4), tcp4Flow},
        // Ethernet's minimum size pads a short frame; the IP length tells where the data ends.
        {"Ethernet, padded", 1, EthernetFrame(udp4) + std::string(6, '\0'),
         "udp 10.0.0.5:50123 > 10.0.0.9:9100"},
        {"Ethernet, 802.1ad and 802.1Q tags", 1,
         EthernetFrame(tcp6, {{0x88A8, 100}, {0x8100, 200}}), tcp6Flow},
        {"Linux cooked", 113, LinuxCookedFrame(tcp4), tcp4Flow},
        {"Linux cooked v2", 276, LinuxCookedV2Frame(tcp6), tcp6Flow},
        {"raw IPv4", 101, tcp4, tcp4Flow},
        {"raw IPv6 behind extension headers", 101,
         TcpPacketBehindIpv6Options(kTill6, kDevice6, 7, "Coffee\r\n"), tcp6Flow},
        {"raw IP as link type 12", 12, tcp6, tcp6Flow},
        {"raw IP as link type 14", 14, tcp4, tcp4Flow},
        {"loopback, little-endian family", 0, LoopbackFrame(tcp4, CaptureByteOrder::kLittle),
         tcp4Flow},
        {"loopback, big-endian family", 0, LoopbackFrame(tcp6, CaptureByteOrder::kBig), tcp6Flow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CapturedPacket packet = Packet(c.linkType, c.bytes);
        DecodedPacket decoded;
        std::string why;
        ASSERT_EQ(DecodePacket(packet, decoded, why), PacketKind::kFlow) << why;
        EXPECT_EQ(FormatFlow(decoded.flow), c.flow);
        EXPECT_EQ(c.bytes.substr(decoded.payloadOffset, decoded.payloadLength), "Coffee\r\n");
        EXPECT_EQ(decoded.capturedPayload, decoded.payloadLength);
        if (decoded.flow.protocol == FlowProtocol::kTcp && !decoded.flow.source.bIpv6) {
            EXPECT_EQ(decoded.sequence, 4000000000u);
            EXPECT_EQ(decoded.tcpFlags, 0x18);
        }
    }
}

TEST(PacketDecoderTest, OtherTrafficIsLeftAsideAndWhatCannotBeReadIsRefused) {
    const std::string tcp4 = TcpPacket(kTill4, kDevice4, 1, 0x18, std::string(40, 'x'));
    std::string icmp = tcp4;
    icmp[9] = 1;  // the protocol field: ICMP
    std::string tcp6Fragment = TcpPacketBehindIpv6Options(kTill6, kDevice6, 7, "x");
    tcp6Fragment[40] = 44;  // the hop-by-hop header now leads to a fragment header
    tcp6Fragment.replace(48, 16,
                         std::string("\x06\x00\x00\x09\x00\x00\x00\x2a", 8) + std::string(8, '\0'));
    struct Case {
        std::string name;
        CapturedPacket packet;
        PacketKind kind;
        std::string why;
    };
    const std::vector<Case> cases = {
        {"ARP", Packet(1, EthernetFrameOf(0x0806, std::string(28, '\0'))), PacketKind::kOther, ""},
        {"ICMP", Packet(1, EthernetFrame(icmp)), PacketKind::kOther, ""},
        {"a first IPv4 fragment", Packet(101, AsIpv4Fragment(tcp4, 0, true)), PacketKind::kRefused,
         "packet 7: an IPv4 fragment (identification 4660, offset 0); fragments are not put "
         "together again"},
        {"a later IPv4 fragment", Packet(101, AsIpv4Fragment(tcp4, 1480, false)),
         PacketKind::kRefused,
         "packet 7: an IPv4 fragment (identification 4660, offset 1480); fragments are not put "
         "together again"},
        {"an IPv6 fragment", Packet(101, tcp6Fragment), PacketKind::kRefused,
         "packet 7: an IPv6 fragment (identification 42, offset 8); fragments are not put "
         "together again"},
        {"headers cut by the snap length", Packet(1, EthernetFrame(tcp4).substr(0, 40), 94),
         PacketKind::kRefused,
         "packet 7: the capture kept 40 of its 94 bytes (snap length), not all of its TCP "
         "header"},
        {"a link type it does not read", Packet(147, tcp4), PacketKind::kRefused,
         "packet 7: link type 147 is not one this program reads (Ethernet, Linux cooked, raw IP "
         "and loopback captures are)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DecodedPacket decoded;
        std::string why;
        EXPECT_EQ(DecodePacket(c.packet, decoded, why), c.kind);
        if (c.kind == PacketKind::kRefused) {
            EXPECT_EQ(why, c.why);
        }
    }
    // A payload cut by the snap length is told, not refused: whoever needs the bytes decides.
    DecodedPacket decoded;
    std::string why;
    ASSERT_EQ(DecodePacket(Packet(1, EthernetFrame(tcp4).substr(0, 60), 94), decoded, why),
              PacketKind::kFlow);
    EXPECT_EQ(decoded.payloadLength, 40u);
    EXPECT_EQ(decoded.capturedPayload, 6u);
}
}  // namespace
