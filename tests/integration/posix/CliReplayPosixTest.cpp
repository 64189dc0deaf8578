// A capture as people take one: tcpdump records tillstream-cli playing a receipt to one device on
// the loopback interface, and the capture replayed to a second device gives it the same bytes
// with the same pauses. Needs root and tcpdump; skipped without them.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "TempHome.h"
#include "posix/LoopbackCapture.h"

namespace {
using namespace std::chrono_literals;

const std::string kCli = TILLSTREAM_CLI_PATH;

class CliReplayPosixTest : public TempHomeTest {};

TEST_F(CliReplayPosixTest, ALoopbackCaptureTakenByTcpdumpReplaysAsItWasPlayed) {
    LoopbackTcpServer firstDevice;
    LoopbackTcpServer probeDevice;
    const std::string port = std::to_string(firstDevice.Port());
    const std::string probePort = std::to_string(probeDevice.Port());
    const std::string capturePath = home.Path("till.pcap");
    std::string why;
    const std::unique_ptr<ChildProcess> capture =
        StartLoopbackCapture(capturePath, "tcp port " + port + " or tcp port " + probePort, why);
    if (!capture) {
        GTEST_SKIP() << why;
    }
    ASSERT_TRUE(capture->Started()) << capture->StartFailure();
    // The capture may start a moment after tcpdump says it listens: lines to a device of their
    // own until they show in the file (a pcap file's header alone is 24 bytes).
    const std::string probe = home.Path("probe.txt");
    WriteFileBytes(probe, "probe\n");
    constexpr std::uintmax_t kPcapHeader = 24;
    const auto deadline = std::chrono::steady_clock::now() + kChildWait;
    std::error_code ignored;
    while (std::filesystem::file_size(capturePath, ignored) <= kPcapHeader) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "tcpdump wrote no packet";
        ASSERT_EQ(RunChild(kCli, {"play", probe, "--tcp", "127.0.0.1:" + probePort}), 0);
        std::this_thread::sleep_for(100ms);
    }

    const std::string receipt = home.Path("receipt.txt");
    WriteFileBytes(receipt, "\x1b@VAZ MARKET\nCoffee beans 1kg  12.90\n" + std::string(3000, 'x') +
                                "\nTOTAL 18.65\n");
    std::string err;
    ASSERT_EQ(RunChild(kCli, {"play", receipt, "--tcp", "127.0.0.1:" + port, "--delay", "100"},
                       nullptr, &err),
              0)
        << err;
    ASSERT_TRUE(firstDevice.WaitForBytes(ReadFileBytes(receipt).size()));

    // Wait until the whole stream is in the file, then stop tcpdump.
    LoopbackTcpServer secondDevice;
    const std::vector<std::string> replay = {
        "play",   capturePath, "--pace", "recorded",
        "--flow", port,        "--tcp",  "127.0.0.1:" + std::to_string(secondDevice.Port())};
    std::string out;
    const auto streamDeadline = std::chrono::steady_clock::now() + kChildWait;
    while (RunChild(kCli, {"flows", capturePath}, &out, &err) != 0 ||
           out.find(" " + std::to_string(firstDevice.Received().size()) + "  ") ==
               std::string::npos) {
        ASSERT_LT(std::chrono::steady_clock::now(), streamDeadline) << out << err;
        std::this_thread::sleep_for(50ms);
    }
    capture->Interrupt();
    ASSERT_TRUE(capture->Wait().has_value());

    ASSERT_EQ(RunChild(kCli, replay, nullptr, &err), 0) << err;
    ASSERT_TRUE(secondDevice.WaitForBytes(firstDevice.Received().size()));
    EXPECT_EQ(secondDevice.Received(), firstDevice.Received());
    // Four lines 100 ms apart when played; the replay keeps the pauses (lower bounds only).
    const auto arrivals = secondDevice.LineArrivals(0);
    ASSERT_EQ(arrivals.size(), 4u);
    for (std::size_t n = 1; n < arrivals.size(); ++n) {
        EXPECT_GE(arrivals[n] - arrivals[n - 1], 80ms) << "line " << n + 1;
    }
}
}  // namespace
