// tillstream-cli play --listen with devices that misbehave, as processes on loopback: a device
// that stops reading is dropped and named while another keeps its cadence, and a device that
// floods the run with bytes of its own does not slow it down.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ListeningPort.h"
#include "LoopbackServer.h"
#include "TempHome.h"

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

// `count` lines of `width` bytes each, every one starting with its number.
std::string NumberedLines(int count, std::size_t width) {
    std::string text;
    for (int n = 1; n <= count; ++n) {
        std::string line = "line " + std::to_string(n) + " ";
        line.resize(width - 1, '.');
        text += line + "\n";
    }
    return text;
}

// The longest time between two lines' arrivals.
std::chrono::milliseconds LongestGap(const std::vector<std::chrono::system_clock::time_point>& at) {
    std::chrono::system_clock::duration longest{};
    for (std::size_t n = 1; n < at.size(); ++n) {
        longest = std::max(longest, at[n] - at[n - 1]);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(longest);
}

class CliListenTest : public ProcessHomeTest {};

TEST_F(CliListenTest, ADeviceThatStopsReadingIsDroppedWhileTheOtherKeepsItsCadence) {
    // 3 MB/s: the silent device's buffers and then its queue fill within a few seconds.
    const std::string file = home.Path("wide.txt");
    const std::string whole = NumberedLines(120, 60000);
    WriteFileBytes(file, whole);
    ChildProcess play(kCli, {"play", file, "--listen", "127.0.0.1:0", "--delay", "20"});
    const std::uint16_t port = ListeningPort(play);
    ASSERT_GT(port, 0) << play.Stderr();

    LoopbackTcpDevice reader(port);
    ASSERT_TRUE(reader.WaitForBytes(1)) << play.Stderr();
    LoopbackTcpDevice silent(port, {.bRead = false, .nReceiveBufferSize = 4096});
    ASSERT_TRUE(silent.Connected());

    EXPECT_EQ(play.Wait(), 0) << play.Stderr();
    EXPECT_NE(play.Stderr().find("connection 2 dropped: not reading"), std::string::npos)
        << play.Stderr();
    ASSERT_TRUE(reader.WaitForClosed());
    EXPECT_EQ(reader.Received().size(), whole.size());
    EXPECT_TRUE(reader.Received() == whole);
    // Had the reader waited for the silent device, it would have waited for as long as that
    // stayed connected: its lines kept coming about every 20 ms instead.
    EXPECT_LT(LongestGap(reader.LineArrivals()), std::chrono::milliseconds(500));
}

TEST_F(CliListenTest, ADeviceThatFloodsTheRunBackDoesNotSlowIt) {
    const std::string file = home.Path("receipt.txt");
    const std::string whole = NumberedLines(25, 40);
    WriteFileBytes(file, whole);
    ChildProcess play(kCli, {"play", file, "--listen", "127.0.0.1:0", "--delay", "40"});
    const std::uint16_t port = ListeningPort(play);
    ASSERT_GT(port, 0) << play.Stderr();

    LoopbackTcpDevice flooder(port, {.bFlood = true});
    ASSERT_TRUE(flooder.WaitForBytes(1)) << play.Stderr();
    LoopbackTcpDevice reader(port);
    ASSERT_TRUE(reader.Connected());

    EXPECT_EQ(play.Wait(), 0) << play.Stderr();
    ASSERT_TRUE(flooder.WaitForClosed());
    ASSERT_TRUE(reader.WaitForClosed());
    EXPECT_GT(flooder.BytesSent(), 0u);
    EXPECT_EQ(flooder.Received(), whole);
    EXPECT_TRUE(whole.ends_with(reader.Received())) << reader.Received();
    // What the flood costs the run is bounded per line: the lines keep their pace for both.
    EXPECT_LT(LongestGap(flooder.LineArrivals()), std::chrono::milliseconds(500));
    EXPECT_LT(LongestGap(reader.LineArrivals()), std::chrono::milliseconds(500));
}
}  // namespace
