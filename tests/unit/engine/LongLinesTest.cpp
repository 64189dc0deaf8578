// Lines of any length and the recorded pace at its limits: a raw line of several MiB goes out
// whole with its LF over TCP, RS-232 and UDP; a stamped hex log's long record keeps every byte;
// and the pause between records stays capped and saturates instead of wrapping round.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackServer.h"
#include "PlaybackFixture.h"
#include "PtyPair.h"
#include "engine/OutputPlayback.h"
#include "transport/UdpSender.h"

using namespace std::chrono_literals;

namespace {

// Bytes of every value but LF (NUL and CR included), in an order that repeats only after 255.
std::string LineBytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t n = 0; n < count; ++n) {
        const auto value = static_cast<unsigned char>((n * 7 + n / 255) % 255);
        bytes[n] = static_cast<char>(value == '\n' ? 0xFF : value);
    }
    return bytes;
}

class LongLinesTest : public PlaybackFixture {};

TEST(RecordedPauseTest, IsTheLogGapOverTheSpeedKeptBetweenDelayAndMaxGapAndSaturates) {
    constexpr double kDays200 = 200 * 86400;
    constexpr double kHuge = 9.2e18;  // about the most seconds a 64-bit count holds
    const std::chrono::steady_clock::duration kLongest = kLongestRecordedPause;
    struct Case {
        double seconds;
        double speed;
        std::chrono::milliseconds delay, maxGap;
        std::chrono::steady_clock::duration expected;
    } const cases[] = {
        {3, 2.0, 0ms, 0ms, 1500ms},
        {0.125, 4.0, 0ms, 0ms, 31250us},  // a capture's gaps are below a second
        {kDays200, 1e6, 0ms, 0ms, 17280ms},
        // Far past what the clock can count: saturated, never wrapped round to a short pause.
        {1, 1e-31, 0ms, 0ms, kLongest},
        {kDays200, 0.001, 0ms, 0ms, kLongest},
        {kHuge, 1e6, 0ms, 0ms, kLongest},
        {1, 5e-324, 0ms, 0ms, kLongest},  // an infinite quotient
        // --max-gap caps whatever the quotient, the delay included.
        {1, 1e-31, 0ms, 2000ms, 2000ms},
        {kHuge, 0.001, 100ms, 1ms, 1ms},
        // The delay is the shortest pause, and the pause where there is no time to scale.
        {1, 1000.0, 20ms, 0ms, 20ms},
        {-5, 1.0, 100ms, 0ms, 100ms},
        {1, std::numeric_limits<double>::quiet_NaN(), 7ms, 0ms, 7ms},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RecordedPause(c.seconds, c.speed, c.delay, c.maxGap), c.expected)
            << c.seconds << " s at speed " << c.speed << ", delay " << c.delay.count()
            << " ms, max gap " << c.maxGap.count() << " ms";
    }
}

TEST_F(LongLinesTest, ALongRecordKeepsEveryByteAndAHugeGapIsCappedByTheMaxGap) {
    // A record of 5,000 bytes (its last CR LF included), then one 200 days later.
    std::string expected = LineBytes(4998) + "\r\n";
    std::string payload;
    for (const char byte : expected) {
        char text[8];
        std::snprintf(text, sizeof text, " 0x%02x", static_cast<unsigned char>(byte));
        payload += text;
    }
    const std::string path = WriteDataFile(
        "till.log", "[2026-01-01 00:00:00]" + payload + "\r\n[2026-07-20 00:00:00] 0x42 0x0a\r\n");
    expected += "B\n";
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port()));
    PlaybackRequest request{path, false, 2};
    request.bRecordedPace = true;
    request.speed = 0.001;  // the gap over the speed is 550 thousand years
    request.maxGap = 300ms;
    ASSERT_NE(playback->Start(request), 0u);
    ASSERT_TRUE(host->WaitForEnded(1, 30s));

    ASSERT_TRUE(server.WaitForBytes(expected.size()));
    EXPECT_TRUE(server.Received() == expected);
    const auto arrivals = server.LineArrivals(0);
    ASSERT_EQ(arrivals.size(), 2u);
    // The cap: not back to back (a wrapped pause), not the gap itself.
    EXPECT_GE(arrivals[1] - arrivals[0], 299ms);
    EXPECT_LT(arrivals[1] - arrivals[0], 10s);
}

TEST_F(LongLinesTest, ARawLineOfSeveralMebibytesGoesOutWholeWithItsLineFeed) {
    // Not a whole number of pieces, and followed by a short line that must come out intact.
    const std::string expected = LineBytes(12 * kLinePiece + 1234) + "\nshort\n";
    const std::string path = WriteDataFile("long.txt", expected);
    {
        SCOPED_TRACE("TCP");
        LoopbackTcpServer server;
        MakePlayback(TcpOptions(server.Port()));
        ASSERT_NE(playback->Start({path, false, 2}), 0u);
        ASSERT_TRUE(host->WaitForEnded(1, 60s));
        ASSERT_TRUE(server.WaitForBytes(expected.size()));
        EXPECT_TRUE(server.Received() == expected) << server.ByteCount() << " bytes";
        EXPECT_EQ(host->Delivered(), 2);
    }
    {
        SCOPED_TRACE("RS-232");
        PtyPair pty;
        ASSERT_TRUE(pty.IsOpen());
        pty.LinkAsComPort(6);
        OptionRecord options = SerialOptions(6);
        options.outputBaudRate = 115200;
        MakePlayback(options);
        std::string received;
        std::thread reader([&] { received = pty.ReadFromMaster(expected.size(), 120s); });
        ASSERT_NE(playback->Start({path, false, 2}), 0u);
        reader.join();
        ASSERT_TRUE(host->WaitForEnded(1, 60s));
        EXPECT_TRUE(received == expected) << received.size() << " bytes";
        EXPECT_EQ(host->Delivered(), 2);
    }
    {
        // UDP: full datagrams, the LF in the last.
        const std::string line = LineBytes(2 * CUdpSender::kMaxDatagram + 1000) + "\n";
        LoopbackUdpReceiver receiver;
        OptionRecord options = TcpOptions(receiver.Port());
        options.outputInterface = kInterfaceUdpClient;
        MakePlayback(options);
        ASSERT_NE(playback->Start({WriteDataFile("udp.txt", line), false, 1}), 0u);
        ASSERT_TRUE(host->WaitForEnded(1));
        ASSERT_TRUE(receiver.WaitForDatagrams(3));
        const std::vector<std::string> got = receiver.Datagrams();
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[0].size(), CUdpSender::kMaxDatagram);
        EXPECT_TRUE(got[0] + got[1] + got[2] == line);
    }
}

}  // namespace
