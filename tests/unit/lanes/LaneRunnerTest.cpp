// The lanes' event loop in this process, against loopback peers: each kind of file over each
// transport arrives exactly as a run thread sends it (a raw line longer than a lane's piece, a
// converted file's marker, payloads and cut, a stamped log's records at their pace), several
// lanes at once; TCP lanes connect before the lanes' clock starts, a refused one without holding
// the others; and a stop ends every lane at once, each with its one end notice.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackServer.h"
#include "TempHome.h"
#include "lanes/LaneListener.h"
#include "lanes/LaneRunner.h"
#include "options/OptionRecord.h"
#include "unit/engine/RecordingHosts.h"

namespace {
using namespace std::chrono_literals;

class LaneRunnerTest : public TempHomeTest {
  protected:
    // A lane playing `content` (written to `name`) to `port` on the loopback address.
    LanePlan Lane(const std::string& name, const std::string& content, LanePlan::Kind kind,
                  std::uint16_t port) {
        const std::string path = home.Path(name);
        WriteFileBytes(path, content);
        hosts.push_back(std::make_unique<RecordingPlaybackHost>(MakeDefaultOptionRecord()));
        LanePlan plan;
        plan.kind = kind;
        plan.request.path = path;
        plan.address = kLoopbackAddress;
        plan.port = port;
        plan.delay = 2ms;
        plan.pHost = hosts.back().get();
        return plan;
    }

    std::vector<std::unique_ptr<RecordingPlaybackHost>> hosts;
};

TEST_F(LaneRunnerTest, EachKindOfFileArrivesAsARunThreadSendsIt) {
    LoopbackTcpServer rawServer;
    LoopbackTcpServer convertedServer;
    LoopbackUdpReceiver logReceiver;
    LoopbackUdpReceiver longReceiver;

    // A raw line five times a lane's piece, between two short ones (with CR and NUL kept).
    const std::string longLine(320 * 1024, 'w');
    const std::string raw = std::string("TOTAL\r\n\0x\n", 10) + longLine + "\nEND";
    // A converted file: the marker is not a line; a payload of 600 bytes sends its first 512.
    std::string converted = "[TILLSTREAM_DATA]\r\n0x41 0x00 0x0d 0x0a\r\n";
    for (int n = 0; n < 600; ++n) {
        converted += "0x42 ";
    }
    converted += "\r\n0x43\r\n";
    // A stamped log at its recorded pace: each record's bytes, whole.
    const std::string log =
        "[2026-12-06 05:59:12] 0x41 0x0d 0x0a\r\n"
        "[2026-12-06 05:59:13] 0x42 0x00 0x0a\r\n";
    // Over UDP a line longer than a datagram goes out as full datagrams, its LF in the last.
    const std::string udpLine(70000, 'u');

    CLaneRunner runner;
    runner.Add(Lane("raw.txt", raw, LanePlan::Kind::kTcp, rawServer.Port()));
    LanePlan convertedLane =
        Lane("converted.txt", converted, LanePlan::Kind::kTcp, convertedServer.Port());
    convertedLane.request.convertedFile = true;
    runner.Add(convertedLane);
    LanePlan logLane = Lane("till.log", log, LanePlan::Kind::kUdp, logReceiver.Port());
    logLane.request.bRecordedPace = true;
    logLane.request.speed = 100;  // the 1 s between the stamps becomes 10 ms
    logLane.delay = 0ms;
    runner.Add(logLane);
    runner.Add(Lane("udp.txt", udpLine + "\n", LanePlan::Kind::kUdp, longReceiver.Port()));
    std::string error;
    ASSERT_TRUE(runner.Start(error)) << error;
    runner.Wait();

    ASSERT_TRUE(rawServer.WaitForClosed(1));
    EXPECT_TRUE(rawServer.Received() == std::string("TOTAL\r\n\0x\n", 10) + longLine + "\nEND\n");
    ASSERT_TRUE(convertedServer.WaitForClosed(1));
    EXPECT_EQ(convertedServer.Received(), std::string("A\0\r\n", 4) + std::string(512, 'B') + "C");
    ASSERT_TRUE(logReceiver.WaitForDatagrams(2));
    EXPECT_EQ(logReceiver.Datagrams(),
              (std::vector<std::string>{"A\r\n", std::string("B\0\n", 3)}));
    ASSERT_TRUE(longReceiver.WaitForDatagrams(2));
    EXPECT_EQ(longReceiver.Datagrams(),
              (std::vector<std::string>{std::string(65507, 'u'),
                                        std::string(70000 - 65507, 'u') + "\n"}));

    // Every lane told its host of each line, its totals and its one end, as a run does.
    const std::vector<int> lines = {4, 3, 2, 1};
    for (std::size_t n = 0; n < hosts.size(); ++n) {
        SCOPED_TRACE("lane " + std::to_string(n + 1));
        EXPECT_EQ(hosts[n]->RunStarts(), 1);
        EXPECT_EQ(hosts[n]->Delivered(), lines[n]);
        EXPECT_EQ(hosts[n]->Lost(), 0);
        EXPECT_EQ(hosts[n]->Ended().size(), 1u);
        EXPECT_EQ(runner.Failure(n), "");
    }
    EXPECT_LE(runner.Threads(), hosts.size());
}

TEST_F(LaneRunnerTest, TcpLanesConnectBeforeTheirFirstLinesAndARefusedOneHoldsNoneBack) {
    LoopbackTcpServer server;
    CLaneRunner runner(2);
    for (int n = 0; n < 3; ++n) {
        LanePlan plan = Lane("later" + std::to_string(n) + ".txt", "tick\n", LanePlan::Kind::kTcp,
                             server.Port());
        plan.startAfter = 60s;
        runner.Add(plan);
    }
    // Its device refuses: the lane still plays at once, each line trying to connect again.
    runner.Add(Lane("refused.txt", "a\nb\n", LanePlan::Kind::kTcp, UnusedLoopbackPort()));
    std::string error;
    ASSERT_TRUE(runner.Start(error)) << error;
    std::thread owner([&] { runner.Wait(); });

    const bool bConnected = server.WaitForConnections(3);
    const bool bRefusedLaneEnded = hosts[3]->WaitForEnded(1);
    const std::size_t bytes = server.ByteCount();
    runner.RequestStop();
    owner.join();
    EXPECT_TRUE(bConnected);
    EXPECT_EQ(bytes, 0u) << "the first lines are a minute away";
    ASSERT_TRUE(bRefusedLaneEnded);
    EXPECT_EQ(hosts[3]->Lost(), 2);
    EXPECT_EQ(runner.Connections(3), 0u);
    for (std::size_t n = 0; n < 3; ++n) {
        EXPECT_EQ(hosts[n]->Delivered() + hosts[n]->Lost(), 0);
        EXPECT_EQ(runner.Connections(n), 1u);
    }
}

TEST_F(LaneRunnerTest, AStopEndsEveryLaneAtOnceInItsPauseOrItsWaitForADevice) {
    LoopbackTcpServer server;
    LoopbackUdpReceiver receiver;
    CLaneRunner runner(2);
    for (int n = 0; n < 6; ++n) {
        LanePlan plan = Lane("slow" + std::to_string(n) + ".txt", "tick\n",
                             n % 2 == 0 ? LanePlan::Kind::kTcp : LanePlan::Kind::kUdp,
                             n % 2 == 0 ? server.Port() : receiver.Port());
        plan.delay = 60s;
        plan.bLoop = true;
        runner.Add(plan);
    }
    // And a listening lane that no device ever connects to.
    CLaneListener listener;
    ASSERT_EQ(listener.Listen(kLoopbackAddress, 0), SocketError::kNone);
    LanePlan listening = Lane("waiting.txt", "tick\n", LanePlan::Kind::kListen, 0);
    listening.pListener = &listener;
    runner.Add(listening);
    std::string error;
    ASSERT_TRUE(runner.Start(error)) << error;
    // The owner's thread serves a loop of its own while it waits.
    std::chrono::steady_clock::time_point ended;
    std::thread owner([&] {
        runner.Wait();
        ended = std::chrono::steady_clock::now();
    });
    // Every lane has sent its first line and is in its minute's pause (or about to be).
    const bool bPausing = server.WaitForBytes(3 * 5) && receiver.WaitForDatagrams(3);
    const auto asked = std::chrono::steady_clock::now();
    runner.RequestStop();
    owner.join();
    ASSERT_TRUE(bPausing);
    EXPECT_LT(ended - asked, 5s);
    for (std::size_t n = 0; n < hosts.size(); ++n) {
        EXPECT_EQ(hosts[n]->Delivered(), n + 1 < hosts.size() ? 1 : 0);
        EXPECT_EQ(hosts[n]->Ended().size(), 1u);
    }
    EXPECT_TRUE(listener.Connections().empty());
    EXPECT_EQ(runner.Threads(), 2u);
}
}  // namespace
