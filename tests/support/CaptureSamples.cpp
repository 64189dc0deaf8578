#include "CaptureSamples.h"

#include "CaptureWriter.h"

namespace {
constexpr std::int64_t kSecond = 1000000000;
constexpr std::uint32_t kEthernet = 1;

const TestEndpoint kTill{"192.168.1.20", 50123};
const TestEndpoint kDevice{"192.168.1.30", 9100};

std::string Arp() {
    return EthernetFrameOf(0x0806, std::string(28, '\x01'));
}
}  // namespace

std::vector<SampleCapture> SampleCaptures() {
    const std::string tcp = EthernetFrame(TcpPacket(kTill, kDevice, 1000, 0x18, "Coffee\r\n"));
    const std::string udp = EthernetFrame(UdpPacket(kTill, kDevice, "TOTAL 18.65\r\n"));
    const std::string longTcp =
        EthernetFrame(TcpPacket(kTill, kDevice, 2000, 0x18, std::string(100, 'x')));
    const std::int64_t t = kSampleSecond * kSecond;
    std::vector<SampleCapture> samples;

    {
        PcapFileWriter file(kEthernet, CaptureByteOrder::kLittle, false);
        file.Add(t + 123456000, tcp);
        file.Add(t + kSecond + 1000, udp);
        file.Add(t + 2 * kSecond, Arp());
        samples.push_back({"pcap-little-microseconds",
                           file.Bytes(),
                           {{t + 123456000, true, kEthernet, tcp, std::uint32_t(tcp.size())},
                            {t + kSecond + 1000, true, kEthernet, udp, std::uint32_t(udp.size())},
                            {t + 2 * kSecond, true, kEthernet, Arp(), 42}}});
    }
    {
        // A snap length of 60 keeps the headers of the long segment and 6 of its 100 bytes.
        PcapFileWriter file(kEthernet, CaptureByteOrder::kBig, true, 60);
        file.Add(t + 123456789, longTcp);
        file.Add(t + kSecond - 1, udp);
        samples.push_back(
            {"pcap-big-nanoseconds",
             file.Bytes(),
             {{t + 123456789, true, kEthernet, longTcp.substr(0, 60), std::uint32_t(154)},
              {t + kSecond - 1, true, kEthernet, udp, std::uint32_t(udp.size())}}});
    }
    {
        // Interface 0 counts nanoseconds, interface 1 units of 2^-20 s with a time offset of
        // 100 s; a block of an unknown type sits between the packets, and a Simple Packet
        // Block (no time) ends the file.
        PcapngFileWriter file(CaptureByteOrder::kLittle);
        file.Interface(kEthernet, 0, 9);
        file.Interface(kEthernet, 0, 0x80 | 20, 100);
        file.Enhanced(0, static_cast<std::uint64_t>(t + 5), tcp);
        file.Other(0x00000BAD, "not a packet");
        file.Enhanced(1, (static_cast<std::uint64_t>(kSampleSecond) << 20) + 3, udp);
        file.Simple(Arp());
        samples.push_back(
            {"pcapng-two-resolutions",
             file.Bytes(),
             // 3 units of 2^-20 s: 3e9 / 2^20 = 2861.02 ns, kept as 2861.
             {{t + 5, true, kEthernet, tcp, std::uint32_t(tcp.size())},
              {t + 100 * kSecond + 2861, true, kEthernet, udp, std::uint32_t(udp.size())},
              {0, false, kEthernet, Arp(), 42}}});
    }
    {
        // Two sections, big-endian then little-endian; the second one's interface counts
        // milliseconds and is interface 0 again.
        PcapngFileWriter file(CaptureByteOrder::kBig);
        file.Interface(kEthernet);
        file.Enhanced(0, static_cast<std::uint64_t>(kSampleSecond) * 1000000 + 7, tcp);
        file.Section(CaptureByteOrder::kLittle);
        file.Interface(kEthernet, 0, 3);
        file.Enhanced(0, static_cast<std::uint64_t>(kSampleSecond) * 1000 + 250, udp);
        samples.push_back({"pcapng-two-sections",
                           file.Bytes(),
                           {{t + 7000, true, kEthernet, tcp, std::uint32_t(tcp.size())},
                            {t + 250000000, true, kEthernet, udp, std::uint32_t(udp.size())}},
                           false});
    }
    return samples;
}
