// Playback when things go wrong under it: a receiver that resets its connection or stops
// reading, and a serial device that disappears. What the receiver gets is checked line by line:
// nothing repeated, nothing out of order, and only the lines the fault itself took are missing.
// (What others may do to the file being played differs between the systems: posix/ and win32/.)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HangupPty.h"
#include "LoopbackServer.h"
#include "NumberedLines.h"
#include "PlaybackFixture.h"
#include "RecordingHosts.h"
#include "TempHome.h"
#include "engine/OutputPlayback.h"
#include "transport/SocketClient.h"

using namespace std::chrono_literals;

namespace {

// The numbers of the lines in `bytes`; -1 for anything that is not a whole numbered line.
std::vector<int> LineNumbers(const std::string& bytes) {
    std::vector<int> numbers;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        const std::string line = bytes.substr(start, end == std::string::npos ? end : end - start);
        numbers.push_back(end == std::string::npos ? -1 : NumberOfLine(line));
        start = end == std::string::npos ? bytes.size() : end + 1;
    }
    return numbers;
}

class PlaybackFaultsTest : public PlaybackFixture {};

}  // namespace

TEST_F(PlaybackFaultsTest, EachResetLosesOnlyTheLineInFlightAndTheNextLineReconnects) {
    constexpr int kLines = 400;
    constexpr int kResets = 4;
    LoopbackTcpServer server;
    MakePlayback(TcpOptions(server.Port(), 3, false));
    const std::string path = WriteDataFile("receipt.txt", NumberedLines(kLines));

    ASSERT_NE(playback->Start({path, false, kLines}), 0u);
    for (int reset = 1; reset <= kResets; ++reset) {
        ASSERT_TRUE(server.WaitForBytes(server.ByteCount() + 20 * 11)) << "reset " << reset;
        server.ResetConnections();
        ASSERT_TRUE(server.WaitForConnections(static_cast<std::size_t>(reset) + 1))
            << "no new connection after reset " << reset;
    }
    ASSERT_TRUE(host->WaitForEnded(1, 60s));
    // The end of the run closes the last connection after its last line: once the server has
    // seen that close it has read everything (the reset connections do not count as closed).
    ASSERT_TRUE(server.WaitForClosed(1));

    // Every connection holds whole lines, later connections later lines, none twice.
    const std::vector<std::string> perConnection = server.ReceivedPerConnection();
    ASSERT_EQ(perConnection.size(), static_cast<std::size_t>(kResets) + 1);
    std::vector<int> received;
    for (const std::string& bytes : perConnection) {
        for (int n : LineNumbers(bytes)) {
            ASSERT_GE(n, 0) << "a broken line arrived";
            received.push_back(n);
        }
    }
    for (std::size_t i = 1; i < received.size(); ++i) {
        ASSERT_LT(received[i - 1], received[i]) << "out of order or repeated at " << i;
    }
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back(), kLines - 1) << "the run went on to the end of the file";
    const int lost = kLines - static_cast<int>(received.size());
    std::printf("[ figures  ] %d lines, %d resets: %zu received, %d lost\n", kLines, kResets,
                received.size(), lost);
    // One line per reset: the send that found the connection gone. A reset that overtakes a
    // line already handed to the system may take that one too.
    EXPECT_GE(lost, kResets);
    EXPECT_LE(lost, 2 * kResets);
    // The run showed every line of the file, the lost ones included.
    EXPECT_EQ(host->Lines().size(), static_cast<std::size_t>(kLines));
}

TEST_F(PlaybackFaultsTest, StopEndsARunWhoseReceiverHasStoppedReading) {
    LoopbackTcpOptions silent;
    silent.bRead = false;
    silent.nReceiveBufferSize = 4096;
    LoopbackTcpServer server(silent);
    MakePlayback(TcpOptions(server.Port(), 0, true));
    // Long lines fill the connection's buffers after a few sends.
    std::string text;
    for (int n = 0; n < 50; ++n) {
        text += std::string(8000, static_cast<char>('a' + n % 26)) + "\n";
    }
    const std::string path = WriteDataFile("long.txt", text);

    ASSERT_NE(playback->Start({path, false, 50}), 0u);
    ASSERT_TRUE(server.WaitForConnections(1));
    // Wait until the run is stuck in a send: no new line for half a second.
    std::size_t shown = 0;
    int quiet = 0;
    for (int round = 0; round < 600 && quiet < 5; ++round) {
        std::this_thread::sleep_for(100ms);
        const std::size_t now = host->Lines().size();
        quiet = now == shown ? quiet + 1 : 0;
        shown = now;
    }
    ASSERT_EQ(quiet, 5) << "the sends never blocked";
    ASSERT_TRUE(playback->IsRunning());

    const auto stopped = std::chrono::steady_clock::now();
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(30s)) << "stop did not end a blocked send";
    // Well before any send timeout of the system (minutes) would have ended it.
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 10s);
    EXPECT_EQ(host->Ended().size(), 1u);
}

TEST_F(PlaybackFaultsTest, ASerialDeviceThatDisappearsLeavesTheRunStoppable) {
    HangupPty device;
    device.LinkAsComPort(4);
    OptionRecord options = SerialOptions(4, 2, true);
    options.outputBaudRate = 115200;
    MakePlayback(options);
    const std::string path = WriteDataFile("receipt.txt", NumberedLines(20));

    ASSERT_NE(playback->Start({path, false, 20}), 0u);
    const std::string before = device.Read(3 * 11, 10s);
    ASSERT_EQ(before.substr(0, 11), NumberedLine(0));

    device.Hangup();
    const std::size_t shownAtHangup = host->Lines().size();
    // The run either goes on (each line's write fails and is traced) or ends by itself; it must
    // neither hang nor crash.
    for (int round = 0;
         round < 100 && playback->IsRunning() && host->Lines().size() < shownAtHangup + 10;
         ++round) {
        std::this_thread::sleep_for(100ms);
    }
    if (playback->IsRunning()) {
        EXPECT_GE(host->Lines().size(), shownAtHangup + 10) << "the run stalled on the lost device";
        playback->RequestStop();
    }
    ASSERT_TRUE(playback->WaitUntilEnded(30s));
    EXPECT_EQ(host->Ended().size(), 1u);
    EXPECT_TRUE(host->Messages().empty());

    // The same port name works again once a device is back.
    HangupPty again;
    again.LinkAsComPort(4);
    ASSERT_NE(playback->Start({path, false, 20}), 0u);
    EXPECT_EQ(again.Read(11, 10s).substr(0, 11), NumberedLine(0));
    playback->RequestStop();
    ASSERT_TRUE(playback->WaitUntilEnded(30s));
}
