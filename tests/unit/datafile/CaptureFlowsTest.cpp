// The flows of a capture and the records of the chosen one: each direction counted; a TCP stream
// put back in order as the device read it (retransmissions dropped, overlaps trimmed, segments
// that came early placed where they belong and sent with the one they waited for, sequence
// numbers wrapping); UDP one record per datagram; the choice of flow; and what is refused.
#include "datafile/CaptureFlows.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "CaptureWriter.h"
#include "TempHome.h"
#include "datafile/CaptureFlowReader.h"
#include "datafile/TcpReassembler.h"

namespace {
constexpr std::int64_t kMs = 1000000;
constexpr std::int64_t kStart = 1796536752LL * 1000000000;  // 2026-12-06 05:59:12 UTC
const TestEndpoint kTill{"10.0.0.5", 50000};
const TestEndpoint kDevice{"10.0.0.9", 9100};
constexpr std::uint8_t kSyn = 0x02;
constexpr std::uint8_t kAck = 0x10;
constexpr std::uint8_t kPush = 0x18;

std::vector<std::pair<std::string, std::int64_t>> BytesAndTimes(
    const std::vector<FlowRecord>& records) {
    std::vector<std::pair<std::string, std::int64_t>> result;
    for (const FlowRecord& record : records) {
        result.emplace_back(record.bytes, record.timeNs - kStart);
    }
    return result;
}

class CaptureFlowsTest : public TempHomeTest {
  protected:
    std::string Write(const PcapFileWriter& file) {
        const std::string path = home.Path("till.pcap");
        WriteFileBytes(path, file.Bytes());
        return path;
    }
    static FlowSelector Select(const std::string& text) {
        std::string why;
        const std::optional<FlowSelector> selector = ParseFlowSelector(text, why);
        EXPECT_TRUE(selector) << why;
        return selector.value_or(FlowSelector{});
    }
};

TEST_F(CaptureFlowsTest, EachDirectionIsListedAndTheChosenStreamComesBackInOrder) {
    const TestEndpoint till2{"10.0.0.5", 50001};
    const TestEndpoint device2{"10.0.0.9", 9101};
    PcapFileWriter file(1, CaptureByteOrder::kLittle, true);
    auto add = [&file](std::int64_t at, const std::string& packet) {
        file.Add(kStart + at, EthernetFrame(packet));
    };
    add(0, TcpPacket(kTill, kDevice, 1000, kSyn, ""));
    add(100000, TcpPacket(kDevice, kTill, 5000, kSyn | kAck, ""));
    add(200000, TcpPacket(kTill, kDevice, 1001, kAck, ""));
    add(1 * kMs, TcpPacket(kTill, kDevice, 1001, kPush, "AAAA"));
    add(2 * kMs, TcpPacket(kTill, kDevice, 1005, kPush, "BBBB"));
    add(3 * kMs, TcpPacket(kTill, kDevice, 1005, kPush, "BBBB"));  // retransmitted
    add(4 * kMs, TcpPacket(kTill, kDevice, 1013, kPush, "DDDD"));  // before the segment ahead
    add(5 * kMs, TcpPacket(kTill, kDevice, 1009, kPush, "CCCC"));
    add(6 * kMs, TcpPacket(kTill, kDevice, 1015, kPush, "DDEE"));  // half of it known already
    add(7 * kMs, TcpPacket(till2, device2, 77, kPush, "other"));
    add(8 * kMs, UdpPacket({"10.0.0.5", 50002}, {"10.0.0.9", 9102}, "u1"));
    file.Add(kStart + 9 * kMs, EthernetFrameOf(0x0806, std::string(28, '\0')));  // ARP
    add(10 * kMs, TcpPacket(kDevice, kTill, 5001, kPush, "OK"));
    const std::string path = Write(file);

    CaptureFlowList list;
    std::string error;
    ASSERT_TRUE(ListCaptureFlows(path, list, error)) << error;
    EXPECT_EQ(list.format, CaptureFormat::kPcap);
    EXPECT_EQ(list.packets, 13u);
    EXPECT_EQ(list.otherPackets, 1u);
    struct Row {
        std::string flow;
        std::uint64_t packets;
        std::uint64_t bytes;
        std::int64_t first;
        std::int64_t last;
    };
    const std::vector<Row> expected = {
        {"tcp 10.0.0.5:50000 > 10.0.0.9:9100", 8, 24, 0, 6 * kMs},
        {"tcp 10.0.0.9:9100 > 10.0.0.5:50000", 2, 2, 100000, 10 * kMs},
        {"tcp 10.0.0.5:50001 > 10.0.0.9:9101", 1, 5, 7 * kMs, 7 * kMs},
        {"udp 10.0.0.5:50002 > 10.0.0.9:9102", 1, 2, 8 * kMs, 8 * kMs},
    };
    ASSERT_EQ(list.flows.size(), expected.size());
    for (std::size_t n = 0; n < expected.size(); ++n) {
        const FlowSummary& flow = list.flows[n];
        EXPECT_EQ(FormatFlow(flow.flow), expected[n].flow);
        EXPECT_EQ(flow.packets, expected[n].packets) << expected[n].flow;
        EXPECT_EQ(flow.payloadBytes, expected[n].bytes) << expected[n].flow;
        EXPECT_EQ(flow.firstNs - kStart, expected[n].first) << expected[n].flow;
        EXPECT_EQ(flow.lastNs - kStart, expected[n].last) << expected[n].flow;
    }

    // Each segment's new bytes at its time; CCCC and the DDDD that waited for it go together.
    CaptureFlow flow;
    ASSERT_TRUE(LoadCaptureFlow(path, Select("9100"), false, flow, error)) << error;
    using Records = std::vector<std::pair<std::string, std::int64_t>>;
    EXPECT_EQ(
        BytesAndTimes(flow.records),
        (Records{{"AAAA", 1 * kMs}, {"BBBB", 2 * kMs}, {"CCCCDDDD", 5 * kMs}, {"EE", 6 * kMs}}));
    EXPECT_EQ(flow.duplicates, 1u);
    EXPECT_EQ(flow.reordered, 1u);
    EXPECT_TRUE(flow.gaps.empty());

    // The same flow as the listing writes it; the answer of the device by its port; UDP.
    ASSERT_TRUE(
        LoadCaptureFlow(path, Select("tcp 10.0.0.5:50001 > 10.0.0.9:9101"), false, flow, error))
        << error;
    EXPECT_EQ(BytesAndTimes(flow.records), (Records{{"other", 7 * kMs}}));
    ASSERT_TRUE(LoadCaptureFlow(path, Select("50000"), false, flow, error)) << error;
    EXPECT_EQ(BytesAndTimes(flow.records), (Records{{"OK", 10 * kMs}}));
    ASSERT_TRUE(LoadCaptureFlow(path, Select("10.0.0.5:50002>10.0.0.9:9102"), false, flow, error))
        << error;
    EXPECT_EQ(BytesAndTimes(flow.records), (Records{{"u1", 8 * kMs}}));

    // The replay source gives the records in order, the time to the next one known, and
    // starts again after the last.
    CCaptureFlowReader reader;
    ASSERT_TRUE(reader.Open(path, Select("9100"), false)) << reader.ErrorText();
    const FlowRecord* record = reader.Next();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->bytes, "AAAA");
    EXPECT_EQ(reader.NanosecondsToNext(), 1 * kMs);
    std::size_t nRecords = 1;
    while (reader.Next() != nullptr) {
        ++nRecords;
    }
    EXPECT_EQ(nRecords, reader.Flow().records.size());
    EXPECT_EQ(reader.NanosecondsToNext(), std::nullopt);
    reader.Rewind();
    ASSERT_NE(reader.Next(), nullptr);
    EXPECT_EQ(reader.Flow().records.front().bytes, "AAAA");

    // Several flows carry data and none is named: refused with the candidates.
    EXPECT_FALSE(LoadCaptureFlow(path, FlowSelector{}, false, flow, error));
    EXPECT_EQ(error,
              "4 flows carry data; choose one of: tcp 10.0.0.5:50000 > 10.0.0.9:9100; tcp "
              "10.0.0.9:9100 > 10.0.0.5:50000; tcp 10.0.0.5:50001 > 10.0.0.9:9101; udp "
              "10.0.0.5:50002 > 10.0.0.9:9102");
    EXPECT_FALSE(LoadCaptureFlow(path, Select("9999"), false, flow, error));
    EXPECT_EQ(error.rfind("no flow that carries data matches; those that do: tcp ", 0), 0u)
        << error;
}

TEST_F(CaptureFlowsTest, ReassemblyKeepsTheStreamAcrossWrapsRestartsAndHoles) {
    struct Segment {
        std::uint32_t sequence;
        std::uint8_t flags;
        std::string payload;
    };
    struct Case {
        std::string name;
        std::vector<Segment> segments;  // 1 ms apart
        std::string stream;             // the records' bytes, joined by '|'
        std::vector<std::uint32_t> gapSequences;
    };
    const std::vector<Case> cases = {
        {"sequence numbers wrap",
         {{0xFFFFFFFD, kSyn, ""}, {0xFFFFFFFE, kPush, "ab"}, {2, kPush, "ef"}, {0, kPush, "cd"}},
         "ab|cdef",
         {}},
        {"no SYN: from the first segment with data",
         {{500, kAck, ""}, {700, kPush, "xy"}, {702, kPush, "z"}},
         "xy|z",
         {}},
        {"a late retransmission fills a hole and more",
         {{10, kSyn, ""}, {11, kPush, "a"}, {14, kPush, "d"}, {11, kPush, "abc"}},
         "a|bcd",
         {}},
        {"a new SYN starts another connection",
         {{10, kSyn, ""}, {11, kPush, "one"}, {90000, kSyn, ""}, {90001, kPush, "two"}},
         "one|two",
         {}},
        {"holes never filled are reported and jumped",
         {{10, kSyn, ""}, {11, kPush, "a"}, {13, kPush, "c"}, {16, kPush, "f"}},
         "a|c|f",
         {12, 14}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTcpReassembler stream;
        std::int64_t at = 0;
        for (const Segment& segment : c.segments) {
            stream.Add(segment.sequence, segment.flags,
                       reinterpret_cast<const std::uint8_t*>(segment.payload.data()),
                       segment.payload.size(), at += kMs, 0);
        }
        stream.Finish();
        std::string joined;
        for (const FlowRecord& record : stream.Records()) {
            joined += (joined.empty() ? "" : "|") + record.bytes;
        }
        EXPECT_EQ(joined, c.stream);
        std::vector<std::uint32_t> gaps;
        for (const FlowGap& gap : stream.Gaps()) {
            gaps.push_back(gap.sequence);
        }
        EXPECT_EQ(gaps, c.gapSequences);
    }
}

TEST_F(CaptureFlowsTest, WhatCannotBePlayedIsRefusedNamingThePacketOrTheOffset) {
    auto capture = [](std::uint32_t snapLength, const std::vector<std::string>& packets) {
        PcapFileWriter file(101, CaptureByteOrder::kBig, false, snapLength);
        std::int64_t at = kStart;
        for (const std::string& packet : packets) {
            file.Add(at += kMs, packet);
        }
        return file.Bytes();
    };
    const std::string hole = capture(65535, {TcpPacket(kTill, kDevice, 99, kSyn, ""),
                                             TcpPacket(kTill, kDevice, 100, kPush, "AB"),
                                             TcpPacket(kTill, kDevice, 106, kPush, "GH")});
    const std::string cut =
        capture(60, {TcpPacket(kTill, kDevice, 100, kPush, "AB"),
                     TcpPacket(kTill, kDevice, 102, kPush, std::string(100, 'x'))});
    const std::string fragment =
        capture(65535, {TcpPacket(kTill, kDevice, 100, kPush, "AB"),
                        AsIpv4Fragment(UdpPacket(kTill, kDevice, "part"), 0, true)});
    const std::string whole = capture(65535, {TcpPacket(kTill, kDevice, 100, kPush, "AB")});
    struct Case {
        std::string name;
        std::string bytes;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"a hole", hole,
         "tcp 10.0.0.5:50000 > 10.0.0.9:9100: 4 bytes missing from sequence number 102 (before "
         "packet 3, 2026-12-06 05:59:12.003000 UTC); the capture lost them"},
        {"a payload cut by the snap length", cut,
         "packet 2: the capture kept 20 of its 100 payload bytes (snap length); the rest of tcp "
         "10.0.0.5:50000 > 10.0.0.9:9100 is not in the file"},
        {"a fragment", fragment,
         "packet 2: an IPv4 fragment (identification 4660, offset 0); fragments are not put "
         "together again"},
        {"a file cut off", whole.substr(0, whole.size() - 3),
         "offset 24: the file ends inside packet 1 (42 bytes announced, 39 there)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = home.Path("refused.pcap");
        WriteFileBytes(path, c.bytes);
        CaptureFlow flow;
        std::string error;
        EXPECT_FALSE(LoadCaptureFlow(path, FlowSelector{}, false, flow, error));
        EXPECT_EQ(error, c.error);
    }
    // Allowed, the hole is listed and the bytes on both sides of it play.
    const std::string path = home.Path("hole.pcap");
    WriteFileBytes(path, hole);
    CaptureFlow flow;
    std::string error;
    ASSERT_TRUE(LoadCaptureFlow(path, FlowSelector{}, true, flow, error)) << error;
    ASSERT_EQ(flow.gaps.size(), 1u);
    EXPECT_EQ(flow.gaps[0].sequence, 102u);
    EXPECT_EQ(flow.gaps[0].bytes, 4u);
    EXPECT_EQ(flow.gaps[0].packet, 3u);
    EXPECT_EQ(BytesAndTimes(flow.records), (std::vector<std::pair<std::string, std::int64_t>>{
                                               {"AB", 2 * kMs}, {"GH", 3 * kMs}}));
}

TEST_F(CaptureFlowsTest, AFlowIsNamedByItsPortOrByBothEndsAsListed) {
    struct Case {
        std::string text;
        std::string flow;  // a flow it must match
        bool bMatches;
    };
    const std::vector<Case> cases = {
        {"9100", "tcp 10.0.0.5:1 > 10.0.0.9:9100", true},
        {"9100", "udp 10.0.0.9:9100 > 10.0.0.5:1", false},
        {" tcp 10.0.0.5:1 > 10.0.0.9:9100 ", "tcp 10.0.0.5:1 > 10.0.0.9:9100", true},
        {"udp 10.0.0.5:1>10.0.0.9:9100", "tcp 10.0.0.5:1 > 10.0.0.9:9100", false},
        {"[2001:db8:0:0:1:0:0:1]:1>[::ffff:10.0.0.9]:9100",
         "tcp [2001:db8::1:0:0:1]:1 > [::ffff:a00:9]:9100", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string why;
        const std::optional<FlowSelector> selector = ParseFlowSelector(c.text, why);
        ASSERT_TRUE(selector) << why;
        // The flow text parses back through the selector, so formatting is checked as well.
        const std::optional<FlowSelector> exact = ParseFlowSelector(c.flow, why);
        ASSERT_TRUE(exact && exact->source && exact->destination) << why;
        const FlowKey key{*exact->protocol, *exact->source, exact->sourcePort, *exact->destination,
                          exact->destinationPort};
        EXPECT_EQ(FormatFlow(key), c.flow);
        EXPECT_EQ(selector->Matches(key), c.bMatches);
    }
    for (const char* bad : {"0", "65536", "port", "10.0.0.5:1>10.0.0.9", "fd00::5:1>fd00::9:2",
                            "10.0.0.5:1>[10.0.0.9]:2", "1.2.3.4:1>5.6.7.8:2>9.9.9.9:3",
                            "10.0.0.256:1>10.0.0.9:2", "[1::2::3]:1>[::1]:2"}) {
        std::string why;
        EXPECT_FALSE(ParseFlowSelector(bad, why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
}
}  // namespace
