// `tillstream-cli play CAPTURE --pace recorded`: a till's traffic captured elsewhere goes to a
// loopback device over a connection (or datagrams) of the program's own, the stream of one flow
// put back in order, byte for byte, with the capture's gaps; a capture that lost bytes of the
// flow, or that leaves the flow to choose, is refused before anything is sent.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "CaptureWriter.h"
#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "TempHome.h"

namespace {
using namespace std::chrono_literals;

const std::string kCli = TILLSTREAM_CLI_PATH;
constexpr std::int64_t kStart = 1796536752LL * 1000000000;  // 2026-12-06 05:59:12 UTC
constexpr std::int64_t kMs = 1000000;

const TestEndpoint kTill{"10.0.0.5", 50000};
const TestEndpoint kDevice{"10.0.0.9", 9100};
const TestEndpoint kOtherTill{"10.0.0.6", 50001};
const TestEndpoint kOtherDevice{"10.0.0.9", 9101};

struct TimedPacket {
    std::int64_t atNs;  // from the capture's start
    std::string packet;
};

// A receipt to port 9100 as a capture shows it when the network misbehaved: the first segment
// sent twice, the third arriving before the second; besides it a second till on port 9101 and
// the device's empty answers.
std::vector<TimedPacket> ReceiptTraffic() {
    return {
        {0, TcpPacket(kTill, kDevice, 1000, 0x02, "")},
        {1 * kMs, TcpPacket(kDevice, kTill, 7000, 0x12, "")},
        {2 * kMs, TcpPacket(kTill, kDevice, 1001, 0x18, "SALE 1\n")},
        {5 * kMs, TcpPacket(kOtherTill, kOtherDevice, 1, 0x18, "other till\n")},
        {12 * kMs, TcpPacket(kTill, kDevice, 1001, 0x18, "SALE 1\n")},   // retransmitted
        {200 * kMs, TcpPacket(kTill, kDevice, 1015, 0x18, "ITEM 2\n")},  // before its turn
        {210 * kMs, TcpPacket(kTill, kDevice, 1008, 0x18, "COFFEE\n")},
        {211 * kMs, TcpPacket(kDevice, kTill, 7001, 0x10, "")},
        {400 * kMs, TcpPacket(kTill, kDevice, 1022, 0x18, "TOTAL\n")},
    };
}

std::string AsPcap(const std::vector<TimedPacket>& packets) {
    PcapFileWriter file(1, CaptureByteOrder::kLittle, false);
    for (const TimedPacket& p : packets) {
        file.Add(kStart + p.atNs, EthernetFrame(p.packet));
    }
    return file.Bytes();
}

std::string AsPcapng(const std::vector<TimedPacket>& packets) {
    PcapngFileWriter file(CaptureByteOrder::kBig);
    file.Interface(113, 0, 9);  // Linux cooked, nanoseconds
    for (const TimedPacket& p : packets) {
        file.Enhanced(0, static_cast<std::uint64_t>(kStart + p.atNs), LinuxCookedFrame(p.packet));
    }
    return file.Bytes();
}

class CliReplayTest : public TempHomeTest {};

TEST_F(CliReplayTest, SendsTheFlowInOrderByteExactWithTheCapturesGapsInBothFormats) {
    struct Case {
        const char* name;
        std::string bytes;
    } const cases[] = {{"receipt.pcap", AsPcap(ReceiptTraffic())},
                       {"receipt.pcapng", AsPcapng(ReceiptTraffic())}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = home.Path(c.name);
        WriteFileBytes(path, c.bytes);
        LoopbackTcpServer device;
        std::string err;
        ASSERT_EQ(RunChild(kCli,
                           {"play", path, "--pace", "recorded", "--flow", "9100", "--tcp",
                            "127.0.0.1:" + std::to_string(device.Port())},
                           nullptr, &err),
                  0)
            << err;
        ASSERT_TRUE(device.WaitForBytes(27));
        EXPECT_EQ(device.Received(), "SALE 1\nCOFFEE\nITEM 2\nTOTAL\n");
        EXPECT_NE(err.find("replaying tcp 10.0.0.5:50000 > 10.0.0.9:9100: 3 records "
                           "(1 retransmitted segment dropped, 1 put back in order)"),
                  std::string::npos)
            << err;
        EXPECT_NE(err.find("sent 3 lines in "), std::string::npos) << err;
        EXPECT_NE(err.find("log time 2026-12-06 05:59:12.002000 to 05:59:12.400000 (0.398 s)"),
                  std::string::npos)
            << err;
        // The late segment let the one that waited for it go with it, 208 ms after the first,
        // and the last came 190 ms after those (lower bounds only: a busy machine is late).
        const auto arrivals = device.LineArrivals(0);
        ASSERT_EQ(arrivals.size(), 4u);
        EXPECT_GE(arrivals[1] - arrivals[0], 150ms);
        EXPECT_GE(arrivals[3] - arrivals[2], 150ms);
    }
}

TEST_F(CliReplayTest, RigLanesReplayTheirFlowsOfOneCapture) {
    std::vector<TimedPacket> traffic = ReceiptTraffic();
    traffic.push_back({450 * kMs, TcpPacket(kOtherTill, kOtherDevice, 12, 0x18, "paid\n")});
    WriteFileBytes(home.Path("two-tills.pcapng"), AsPcapng(traffic));
    LoopbackTcpServer first;
    LoopbackTcpServer second;
    const std::string rig =
        R"({"lanes": [{"file": "two-tills.pcapng", "pace": "recorded", "flow": "9100", "tcp": )"
        R"("127.0.0.1:)" +
        std::to_string(first.Port()) +
        R"("}, {"file": "two-tills.pcapng", "pace": "recorded", "flow": "9101", "speed": 2, )"
        R"("tcp": "127.0.0.1:)" +
        std::to_string(second.Port()) + R"("}]})";
    WriteFileBytes(home.Path("rig.json"), rig);
    std::string err;
    ASSERT_EQ(RunChild(kCli, {"rig", home.Path("rig.json"), "--quiet"}, nullptr, &err), 0) << err;
    ASSERT_TRUE(first.WaitForBytes(27));
    ASSERT_TRUE(second.WaitForBytes(16));
    EXPECT_EQ(first.Received(), "SALE 1\nCOFFEE\nITEM 2\nTOTAL\n");
    EXPECT_EQ(second.Received(), "other till\npaid\n");
    // The second till's lines were 445 ms apart in the capture, 222 ms at twice the speed.
    const auto arrivals = second.LineArrivals(0);
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_GE(arrivals[1] - arrivals[0], 180ms);
}

TEST_F(CliReplayTest, DatagramsGoOneByOneAndCapturesThatCannotBePlayedAreRefused) {
    const TestEndpoint udpTill{"fd00::5", 40000};
    const TestEndpoint udpDevice{"fd00::9", 9104};
    std::vector<TimedPacket> traffic = ReceiptTraffic();
    traffic.push_back({450 * kMs, UdpPacket(udpTill, udpDevice,
                                            "\x1d"
                                            "VB")});
    traffic.push_back({470 * kMs, UdpPacket(udpTill, udpDevice, "paid")});
    const std::string path = home.Path("mixed.pcap");
    WriteFileBytes(path, AsPcap(traffic));

    LoopbackUdpReceiver receiver;
    std::string err;
    ASSERT_EQ(RunChild(kCli,
                       {"play", path, "--pace", "recorded", "--flow", "9104", "--udp",
                        "127.0.0.1:" + std::to_string(receiver.Port())},
                       nullptr, &err),
              0)
        << err;
    ASSERT_TRUE(receiver.WaitForDatagrams(2));
    EXPECT_EQ(receiver.Datagrams(), (std::vector<std::string>{"\x1d"
                                                              "VB",
                                                              "paid"}));

    // The receipt without its second segment: a hole in what the device got.
    std::vector<TimedPacket> holed = ReceiptTraffic();
    std::erase_if(holed, [](const TimedPacket& p) { return p.atNs == 210 * kMs; });
    const std::string holedPath = home.Path("holed.pcap");
    WriteFileBytes(holedPath, AsPcap(holed));

    LoopbackTcpServer device;
    const std::string target = "127.0.0.1:" + std::to_string(device.Port());
    struct Refusal {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const std::vector<Refusal> refusals = {
        {{"play", path, "--pace", "recorded", "--tcp", target},
         1,
         "'" + path +
             "': 3 flows carry data; choose one of: tcp 10.0.0.5:50000 > 10.0.0.9:9100; tcp "
             "10.0.0.6:50001 > 10.0.0.9:9101; udp [fd00::5]:40000 > [fd00::9]:9104"},
        {{"play", holedPath, "--pace", "recorded", "--flow", "9100", "--tcp", target},
         1,
         "tcp 10.0.0.5:50000 > 10.0.0.9:9100: 7 bytes missing from sequence number 1008 "
         "(before packet"},
        {{"play", path, "--tcp", target}, 1, "is a packet capture; play it with --pace recorded"},
        {{"play", path, "--pace", "recorded", "--flow", "10.0.0.5>x", "--tcp", target},
         2,
         "--flow '10.0.0.5>x'"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.args[1] + " " + r.args.back());
        EXPECT_EQ(RunChild(kCli, r.args, nullptr, &err), r.exitCode);
        EXPECT_NE(err.find(r.err), std::string::npos) << err;
    }
    EXPECT_EQ(device.ConnectionCount(), 0u);  // nothing was sent for any of them

    // Asked to, it plays the bytes around the hole and says where the hole was.
    ASSERT_EQ(RunChild(kCli,
                       {"play", holedPath, "--pace", "recorded", "--flow", "9100", "--allow-gaps",
                        "--tcp", target},
                       nullptr, &err),
              0)
        << err;
    EXPECT_NE(err.find("playing over a hole: 7 bytes missing from sequence number 1008"),
              std::string::npos)
        << err;
    ASSERT_TRUE(device.WaitForBytes(20));
    EXPECT_EQ(device.Received(), "SALE 1\nITEM 2\nTOTAL\n");
}
}  // namespace
