// The TCP socket client against real loopback peers: what a receiving device sees (connections,
// bytes, closes), what the caller gets back, and which threads and sockets exist afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stop_token>
#include <string>
#include <thread>

#include "LoopbackServer.h"
#include "TestSystem.h"
#include "transport/SocketClient.h"
#include "transport/SocketServer.h"

namespace {

using namespace std::chrono_literals;

// Threads of this process, as the system counts them.
int ThreadCount() {
    return ProcessThreadCount();
}

// A thread that has been joined can still be counted for a moment while the system tears it
// down, so "no thread left" is checked with a bounded wait.
bool ThreadCountSettlesAt(int expected) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (ThreadCount() != expected) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The thread count once threads of earlier tests have finished going away.
int StableThreadCount() {
    // A sanitizer runtime starts a helper thread of its own with the process's first thread;
    // bring it up before counting, so it is part of every baseline.
    std::thread([] {}).join();
    int count = ThreadCount();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::this_thread::sleep_for(10ms);
        const int again = ThreadCount();
        if (again == count) {
            break;
        }
        count = again;
    }
    return count;
}

int OpenDescriptorCount() {
    return ProcessHandleCount();
}

int SendText(CSocketClient& client, const std::string& text) {
    return client.m_client.Send(text.data(), static_cast<int>(text.size()), 0);
}

int g_window = 0;  // stands in for the window handle given to Connect
void* const kWindow = &g_window;

// A watch routine for CTCPClient tests that records when it has ended.
struct WatchProbe {
    CTCPClient* pClient = nullptr;
    std::atomic<bool> bStarted{false};
    std::atomic<bool> bEnded{false};
};

std::uint32_t ProbeRoutine(void* pParam) {
    auto* pProbe = static_cast<WatchProbe*>(pParam);
    pProbe->bStarted = true;
    while (pProbe->pClient->IsConnected()) {
        pProbe->pClient->WaitForDisconnect(500ms);
    }
    pProbe->bEnded = true;
    return 0;
}

}  // namespace

TEST(SocketClient, ConnectSendAndCloseAsTheDeviceSeesThem) {
    LoopbackTcpServer server;
    const int baseline = StableThreadCount();
    CSocketClient client;
    ASSERT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port()), 0);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_TRUE(ThreadCountSettlesAt(baseline + 1)) << "one watch thread per connection";

    EXPECT_EQ(SendText(client, "first line\n"), 11);
    EXPECT_EQ(SendText(client, "second\n"), 7);
    EXPECT_EQ(SendText(client, ""), 0) << "an empty send succeeds with 0";
    ASSERT_TRUE(server.WaitForBytes(18));
    EXPECT_EQ(server.Received(), "first line\nsecond\n");

    EXPECT_EQ(client.Close(), 0);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_TRUE(server.WaitForClosed(1)) << "the device sees the connection end";
    EXPECT_TRUE(ThreadCountSettlesAt(baseline));
    EXPECT_EQ(SendText(client, "late\n"), -1) << "no send once closed";
    EXPECT_EQ(client.Close(), 0) << "closing twice is harmless";

    EXPECT_EQ(client.NotifyWindow(), kWindow);
    EXPECT_EQ(client.ServAddr(), kLoopbackAddress);
    EXPECT_EQ(client.ServPort(), server.Port());
    EXPECT_EQ(server.ConnectionCount(), 1u);
}

TEST(SocketClient, NothingListeningGivesMinusFourWithNoConnectionAndNoThread) {
    const std::uint16_t port = UnusedLoopbackPort();
    const int baseline = StableThreadCount();
    CSocketClient client;
    EXPECT_EQ(client.Connect(kWindow, kLoopbackAddress, port), -4);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_TRUE(ThreadCountSettlesAt(baseline));
    EXPECT_EQ(SendText(client, "x"), -1);
    // The attempt is recorded whether or not it succeeded.
    EXPECT_EQ(client.ServAddr(), kLoopbackAddress);
    EXPECT_EQ(client.ServPort(), port);
    EXPECT_EQ(client.NotifyWindow(), kWindow);
}

TEST(SocketClient, ZeroAddressOrPortIsRefusedAndLeavesAnOpenConnectionOpen) {
    LoopbackTcpServer server;
    CSocketClient client;
    EXPECT_EQ(client.Connect(kWindow, 0, server.Port()), -1);
    EXPECT_EQ(client.Connect(kWindow, kLoopbackAddress, 0), -1);
    EXPECT_EQ(client.Connect(kWindow, kLoopbackAddress, -5), -1);
    EXPECT_FALSE(client.IsConnected());

    ASSERT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port()), 0);
    const int connected = StableThreadCount();
    EXPECT_EQ(client.Connect(kWindow, 0, server.Port()), -1);
    EXPECT_EQ(client.Connect(kWindow, kLoopbackAddress, 0), -1);
    EXPECT_EQ(client.Connect(kWindow, kLoopbackAddress, -1), -1);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_TRUE(ThreadCountSettlesAt(connected));
    EXPECT_EQ(SendText(client, "still here\n"), 11);
    ASSERT_TRUE(server.WaitForBytes(11));
    EXPECT_EQ(server.ConnectionCount(), 1u);
    EXPECT_EQ(server.ClosedCount(), 0u);
    EXPECT_EQ(client.ServPort(), -1) << "the refused values are still recorded";
}

TEST(SocketClient, PortAboveTheSixteenBitRangeUsesItsLowBits) {
    LoopbackTcpServer server;
    CSocketClient client;
    ASSERT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port() + 65536), 0);
    EXPECT_TRUE(server.WaitForConnections(1));
    EXPECT_EQ(client.m_client.ServerPort(), server.Port());
    EXPECT_EQ(client.ServPort(), server.Port() + 65536);
}

TEST(SocketClient, ConnectingAgainClosesTheOldConnectionAndItsThread) {
    LoopbackTcpServer server;
    const int baseline = StableThreadCount();
    CSocketClient client;
    ASSERT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port()), 0);
    ASSERT_EQ(SendText(client, "a"), 1);
    ASSERT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port()), 0);
    ASSERT_EQ(SendText(client, "b"), 1);
    ASSERT_TRUE(server.WaitForConnections(2));
    EXPECT_TRUE(server.WaitForClosed(1));
    ASSERT_TRUE(server.WaitForBytes(2));
    EXPECT_EQ(server.ReceivedPerConnection(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(ThreadCountSettlesAt(baseline + 1));
}

TEST(SocketClient, SendThatTheSystemSplitsDeliversEveryByteOnceInOrder) {
    LoopbackTcpOptions slow;
    slow.nReceiveBufferSize = 4096;
    slow.nReadChunk = 1500;
    slow.readPause = 1ms;
    LoopbackTcpServer server(slow);
    CSocketClient client;
    ASSERT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port()), 0);

    std::string payload(768 * 1024, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<char>((i * 7919u) >> 5);  // no period that hides reordering
    }
    EXPECT_EQ(SendText(client, payload), static_cast<int>(payload.size()));
    ASSERT_TRUE(server.WaitForBytes(payload.size(), 60s));
    EXPECT_TRUE(server.Received() == payload) << "bytes lost, repeated or reordered";
}

TEST(SocketClient, SendAfterThePeerResetFailsAndTheProcessLives) {
    // With SIGPIPE at its default (Linux), a send that raised it would end this test program.
    RestoreBrokenPipeDefault();
    LoopbackTcpServer server;
    CSocketClient client;
    ASSERT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port()), 0);
    ASSERT_EQ(SendText(client, "before\n"), 7);
    ASSERT_TRUE(server.WaitForBytes(7));
    server.ResetConnections();

    const std::string line(1024, 'r');
    int result = 0;
    for (int attempt = 0; attempt < 2000 && result != -1; ++attempt) {
        result = SendText(client, line);
        if (result != -1) {
            std::this_thread::sleep_for(5ms);  // let the reset arrive
        }
    }
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(client.IsConnected()) << "a failed send does not close by itself";
    EXPECT_EQ(SendText(client, line), -1) << "and the next one fails too, without a signal";
    EXPECT_EQ(client.Close(), 0);
    EXPECT_FALSE(client.IsConnected());
}

TEST(SocketClient, CloseFromAnotherThreadEndsASendInProgress) {
    LoopbackTcpOptions silent;
    silent.bRead = false;
    silent.nReceiveBufferSize = 4096;
    LoopbackTcpServer server(silent);
    CSocketClient client;
    ASSERT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port()), 0);

    // Far more than the loopback buffers hold while the peer reads nothing: the send blocks.
    const std::string big(32 * 1024 * 1024, 'b');
    std::atomic<int> result{1};
    std::thread player([&] { result = SendText(client, big); });
    std::this_thread::sleep_for(100ms);  // most likely blocked in the system by now
    EXPECT_EQ(client.Close(), 0);
    player.join();
    EXPECT_EQ(result.load(), -1);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_LT(server.ByteCount(), big.size());
}

TEST(SocketClient, CloseWhenNotConnectedReturnsAtOnce) {
    const int baseline = StableThreadCount();
    CSocketClient client;
    EXPECT_EQ(client.Close(), 0);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_TRUE(ThreadCountSettlesAt(baseline));
}

TEST(SocketClient, CloseAndDestructionWaitForTheConnectionsThread) {
    LoopbackTcpServer server;
    {
        WatchProbe probe;
        CTCPClient client;
        probe.pClient = &client;
        ASSERT_EQ(client.ConnectServ(kLoopbackAddress, server.Port(), ProbeRoutine, &probe), 0);
        EXPECT_EQ(client.Disconnect(), 0);
        EXPECT_TRUE(probe.bEnded) << "Disconnect returned before the thread ended";
    }
    WatchProbe probe;
    {
        auto client = std::make_unique<CTCPClient>();
        probe.pClient = client.get();
        ASSERT_EQ(client->ConnectServ(kLoopbackAddress, server.Port(), ProbeRoutine, &probe), 0);
        client.reset();
        EXPECT_TRUE(probe.bEnded) << "the destructor returned before the thread ended";
    }
    // The socket client as the window holds it: destroying it closes the connection.
    const int baseline = StableThreadCount();
    {
        CSocketClient client;
        ASSERT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port()), 0);
    }
    EXPECT_TRUE(server.WaitForClosed(3));
    EXPECT_TRUE(ThreadCountSettlesAt(baseline));
}

TEST(SocketClient, ConnectGivesUpAfterItsTimeLimit) {
    StalledTcpListener stalled;
    if (!stalled.IsStalled()) {
        GTEST_SKIP() << "this system answers connects to a full accept queue";
    }
    const int baseline = StableThreadCount();
    CSocketClient client;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Connect(kWindow, kLoopbackAddress, stalled.Port()), -4);
    // The system's own limit is over two minutes; the client's is five seconds.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_TRUE(ThreadCountSettlesAt(baseline));
}

TEST(SocketClient, StopTokenEndsAConnectInProgress) {
    StalledTcpListener stalled;
    if (!stalled.IsStalled()) {
        GTEST_SKIP() << "this system answers connects to a full accept queue";
    }
    CSocketClient client;
    client.m_client.SetConnectTimeout(300s);
    std::stop_source stop;
    std::atomic<int> result{1};
    const auto start = std::chrono::steady_clock::now();
    std::thread player([&] {
        result = client.Connect(kWindow, kLoopbackAddress, stalled.Port(), stop.get_token());
    });
    std::this_thread::sleep_for(200ms);
    stop.request_stop();
    player.join();
    EXPECT_EQ(result.load(), -4);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 120s) << "well before the time limit";
    EXPECT_FALSE(client.IsConnected());

    // A stop that came before the connect refuses it without trying; a new token connects.
    LoopbackTcpServer server;
    EXPECT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port(), stop.get_token()), -4);
    EXPECT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port()), 0);
    ASSERT_TRUE(server.WaitForConnections(1));
    EXPECT_EQ(server.ConnectionCount(), 1u) << "the stopped connect never reached the device";
}

TEST(SocketClient, CancelConnectFromAnotherThreadIsStickyUntilAllowed) {
    StalledTcpListener stalled;
    if (!stalled.IsStalled()) {
        GTEST_SKIP() << "this system answers connects to a full accept queue";
    }
    const int baseline = StableThreadCount();
    CSocketClient client;
    client.m_client.SetConnectTimeout(300s);
    std::atomic<int> result{1};
    const auto start = std::chrono::steady_clock::now();
    std::thread player([&] { result = client.Connect(kWindow, kLoopbackAddress, stalled.Port()); });
    std::this_thread::sleep_for(200ms);
    client.CancelConnect();
    player.join();
    EXPECT_EQ(result.load(), -4);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 120s) << "well before the time limit";
    EXPECT_TRUE(ThreadCountSettlesAt(baseline));

    LoopbackTcpServer server;
    EXPECT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port()), -4) << "still cancelled";
    client.AllowConnect();
    EXPECT_EQ(client.Connect(kWindow, kLoopbackAddress, server.Port()), 0);
    ASSERT_TRUE(server.WaitForConnections(1));
    EXPECT_EQ(server.ConnectionCount(), 1u);
}

TEST(SocketClient, CloseFromAnotherThreadAbandonsAConnectInProgress) {
    StalledTcpListener stalled;
    if (!stalled.IsStalled()) {
        GTEST_SKIP() << "this system answers connects to a full accept queue";
    }
    CSocketClient client;
    client.m_client.SetConnectTimeout(300s);
    std::atomic<int> result{1};
    std::thread player([&] { result = client.Connect(kWindow, kLoopbackAddress, stalled.Port()); });
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(client.Close(), 0);
    player.join();
    EXPECT_EQ(result.load(), -4);
    EXPECT_FALSE(client.IsConnected());
}

// Trace texts are checked in a fresh process, where tracing can be switched on.
class SocketClientTrace : public ::testing::Test {
  protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        SetTestEnvironment("TILLSTREAM_TRACE", "1");
    }
    void TearDown() override { ClearTestEnvironment("TILLSTREAM_TRACE"); }
};

TEST_F(SocketClientTrace, RefusedAddressShowsAsZero) {
    EXPECT_EXIT(
        {
            CSocketClient client;
            std::exit(-client.Connect(kWindow, 0, 8080));
        },
        ::testing::ExitedWithCode(1),
        R"(\[CTCPClient::ConnectServ\] ERROR - pszServAddr is 0, nServPort is 8080)");
    EXPECT_EXIT(
        {
            CSocketClient client;
            std::exit(-client.Connect(kWindow, 0x0A000102, -3));
        },
        ::testing::ExitedWithCode(1),
        R"(\[CTCPClient::ConnectServ\] ERROR - pszServAddr is 10\.0\.1\.2, nServPort is -3)");
}

TEST_F(SocketClientTrace, FailedConnectIsTracedWithItsReason) {
    const std::uint16_t port = UnusedLoopbackPort();
    EXPECT_EXIT(
        {
            CSocketClient client;
            std::exit(-client.Connect(kWindow, kLoopbackAddress, port));
        },
        ::testing::ExitedWithCode(4),
        R"(\[CTCPClient::ConnectServ\] ERROR - connect error\(10061\))");
}

TEST_F(SocketClientTrace, TimedOutConnectIsTracedWithItsReason) {
    StalledTcpListener stalled;
    if (!stalled.IsStalled()) {
        GTEST_SKIP() << "this system answers connects to a full accept queue";
    }
    EXPECT_EXIT(
        {
            CSocketClient client;
            client.m_client.SetConnectTimeout(300ms);
            std::exit(-client.Connect(kWindow, kLoopbackAddress, stalled.Port()));
        },
        ::testing::ExitedWithCode(4),
        R"(\[CTCPClient::ConnectServ\] ERROR - connect error\(10060\))");
}

TEST(SocketServer, IsOnlyConstructedAndDestroyedAndOpensNothing) {
    const int descriptors = OpenDescriptorCount();
    const int threads = StableThreadCount();
    {
        CSocketServer server;
        EXPECT_FALSE(server.Server().IsListening());
        EXPECT_EQ(server.Server().PeerCount(), 0u);
        EXPECT_EQ(server.RecvQueue().GetEntryCount(), 0u);
        EXPECT_EQ(OpenDescriptorCount(), descriptors);
        EXPECT_TRUE(ThreadCountSettlesAt(threads));
    }
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
}
