// tillstream-cli play beyond one client at a fixed delay, as processes on loopback: listening for
// devices that connect (and drop and come back), a broadcast address, a multicast group, and a
// stamped hex log played at its recorded pace.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "TempHome.h"

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

// Waits for "listening on tcp 127.0.0.1:NNNN" and returns the port (0 when it never came).
int ListeningPort(ChildProcess& child) {
    const std::string line = child.WaitForStderrLine("listening on ");
    const std::size_t colon = line.rfind(':');
    return colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
}

// "line 01\n" ... "line NN\n": every line tells where it stands in the file.
std::string NumberedLines(int count) {
    std::string text;
    for (int n = 1; n <= count; ++n) {
        text += "line " + std::string(n < 10 ? "0" : "") + std::to_string(n) + "\n";
    }
    return text;
}

// The lines play's summary counted for connection `number`
// ("connection 2 from 127.0.0.1:40538: 6 lines"); -1 when it has no such line.
long CountedLines(const std::string& summary, int number) {
    const std::string prefix = "connection " + std::to_string(number) + " from ";
    // The last such line: the summary comes after the notice of the connection.
    const std::size_t start = summary.rfind(prefix);
    if (start == std::string::npos) {
        return -1;
    }
    const std::string line = summary.substr(start, summary.find('\n', start) - start);
    const std::size_t colon = line.rfind(": ");
    return colon == std::string::npos ? -1 : std::atol(line.c_str() + colon + 2);
}

// A device of the test's own that connects to a listening play and reads what it is sent; it
// hangs up the moment the test says so, with nothing else in between.
class TestDevice {
  public:
    explicit TestDevice(int port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const timeval readLimit{10, 0};  // no read waits longer (a bound against hanging)
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &readLimit, sizeof readLimit);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_bConnected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~TestDevice() { HangUp(); }
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    bool Connected() const { return m_bConnected; }
    // Reads until what came ends with `text`, or until the sender closes (empty `text`), or a
    // read times out. Returns everything received so far.
    const std::string& ReadUntil(const std::string& text) {
        char buffer[4096];
        while (text.empty() || !m_received.ends_with(text)) {
            const ssize_t count = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (count <= 0) {
                break;
            }
            m_received.append(buffer, static_cast<std::size_t>(count));
        }
        return m_received;
    }
    void HangUp() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

  private:
    int m_fd = -1;
    bool m_bConnected = false;
    std::string m_received;
};

// A UDP socket bound to every address (so that it hears broadcasts too) on a port of the
// system's choosing.
class AnyAddressUdpSocket {
  public:
    AnyAddressUdpSocket() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        const timeval readLimit{10, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &readLimit, sizeof readLimit);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t size = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
    }
    ~AnyAddressUdpSocket() { ::close(m_fd); }
    AnyAddressUdpSocket(const AnyAddressUdpSocket&) = delete;
    AnyAddressUdpSocket& operator=(const AnyAddressUdpSocket&) = delete;

    int Port() const { return m_port; }
    std::string Receive() {
        char buffer[65536];
        const ssize_t count = ::recv(m_fd, buffer, sizeof buffer, 0);
        return count < 0 ? std::string("(nothing)") : std::string(buffer, count);
    }

  private:
    int m_fd = -1;
    int m_port = 0;
};

class CliPlayModesTest : public TempHomeTest {};

TEST_F(CliPlayModesTest, ListenModeGivesEachDeviceExactlyTheLinesSentWhileItWasConnected) {
    const std::string file = home.Path("numbered.txt");
    const std::string whole = NumberedLines(10);
    WriteFileBytes(file, whole);
    ChildProcess play(kCli, {"play", file, "--listen", "127.0.0.1:0", "--delay", "150"});
    const int port = ListeningPort(play);
    ASSERT_GT(port, 0) << play.Stderr();

    // Two matching devices: the first starts the run, the second comes in after line 3.
    const std::string target = "127.0.0.1:" + std::to_string(port);
    ChildProcess first(kCli, {"receive", "--connect", target, "--out", home.Path("first.bin")});
    ASSERT_TRUE(first.WaitForStdout("line 03")) << first.Stderr();
    ChildProcess second(kCli, {"receive", "--connect", target, "--out", home.Path("second.bin")});
    ASSERT_TRUE(second.WaitForStderr("connection 1 to")) << second.Stderr();

    EXPECT_EQ(play.Wait(), 0) << play.Stderr();
    // The end of the run closes both connections; each device prints what it had.
    ASSERT_TRUE(first.WaitForStderr("connection 1 closed"));
    ASSERT_TRUE(second.WaitForStderr("connection 1 closed"));
    first.Signal(SIGINT);
    second.Signal(SIGINT);
    EXPECT_EQ(first.Wait(), 130);
    EXPECT_EQ(second.Wait(), 130);

    EXPECT_EQ(ReadFileBytes(home.Path("first.bin")), whole);
    // The second device has a tail of the file, from a line after the third, bytes exact, and
    // as many lines as play counted for it.
    const std::string tail = ReadFileBytes(home.Path("second.bin"));
    ASSERT_FALSE(tail.empty());
    EXPECT_TRUE(whole.ends_with(tail)) << tail;
    EXPECT_EQ(tail.find("line 03"), std::string::npos) << tail;
    EXPECT_EQ(tail.front(), 'l') << "not a whole line: " << tail;
    const auto lines = std::count(tail.begin(), tail.end(), '\n');
    const std::string summary = play.Stderr();
    EXPECT_NE(summary.find("connections 2"), std::string::npos) << summary;
    EXPECT_EQ(CountedLines(summary, 1), 10) << summary;
    EXPECT_EQ(CountedLines(summary, 2), lines) << summary;
}

TEST_F(CliPlayModesTest, ListenModeWaitsWhileNoDeviceIsConnectedAndGoesOnWhenOneComesBack) {
    const std::string file = home.Path("numbered.txt");
    const std::string whole = NumberedLines(6);
    WriteFileBytes(file, whole);
    ChildProcess play(kCli, {"play", file, "--listen", "127.0.0.1:0", "--delay", "200"});
    const int port = ListeningPort(play);
    ASSERT_GT(port, 0) << play.Stderr();

    std::string before;
    {
        TestDevice device(port);
        ASSERT_TRUE(device.Connected());
        before = device.ReadUntil("line 02\n");
    }  // hangs up
    ASSERT_TRUE(play.WaitForStderr("connection 1 closed"));
    // Nobody is connected: the run waits instead of playing the rest to no one.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_FALSE(play.Wait(std::chrono::milliseconds(0)).has_value()) << play.Stderr();

    TestDevice back(port);
    ASSERT_TRUE(back.Connected());
    const std::string after = back.ReadUntil("");  // until the run ends and closes
    EXPECT_EQ(play.Wait(), 0) << play.Stderr();
    // Not one line lost, none sent twice.
    EXPECT_EQ(before + after, whole);
    EXPECT_NE(play.Stderr().find("connections 2"), std::string::npos) << play.Stderr();
}

TEST_F(CliPlayModesTest, UdpToTheLoopbackBroadcastAddressReachesASocketBoundToThatPort) {
    const std::string file = home.Path("receipt.txt");
    WriteFileBytes(file, "TOTAL 3.20\r\nCASH\n");
    AnyAddressUdpSocket receiver;
    std::string err;
    EXPECT_EQ(RunChild(kCli,
                       {"play", file, "--udp", "127.255.255.255:" + std::to_string(receiver.Port()),
                        "--delay", "0"},
                       nullptr, &err),
              0)
        << err;
    EXPECT_EQ(receiver.Receive(), "TOTAL 3.20\r\n");
    EXPECT_EQ(receiver.Receive(), "CASH\n");
}

TEST_F(CliPlayModesTest, MulticastGroupOnTheLoopbackInterfaceReachesAReceiverThatJoinedIt) {
    const std::string file = home.Path("receipt.txt");
    WriteFileBytes(file, "A\nB\n");
    ChildProcess receiver(kCli, {"receive", "--udp", "239.255.77.1:0", "--interface", "127.0.0.1"});
    const int port = ListeningPort(receiver);
    if (port == 0) {
        GTEST_SKIP() << "this system lets no socket join a group on loopback: "
                     << receiver.Stderr();
    }
    std::string err;
    EXPECT_EQ(RunChild(kCli,
                       {"play", file, "--udp", "239.255.77.1:" + std::to_string(port), "--ttl", "1",
                        "--interface", "127.0.0.1", "--delay", "0"},
                       nullptr, &err),
              0)
        << err;
    EXPECT_TRUE(receiver.WaitForStdout("B\\n")) << receiver.Stdout();
    EXPECT_NE(receiver.Stdout().find("\tA\\n"), std::string::npos) << receiver.Stdout();
    receiver.Signal(SIGINT);
    EXPECT_EQ(receiver.Wait(), 130);

    // The hop limit and interface belong to a group; elsewhere they are a mistake.
    EXPECT_EQ(RunChild(kCli, {"play", file, "--udp", "127.0.0.1:9", "--ttl", "2"}, nullptr, &err),
              2);
    EXPECT_NE(err.find("--ttl and --interface go with a multicast group"), std::string::npos)
        << err;
}

TEST_F(CliPlayModesTest, StampedLogAtItsRecordedPaceKeepsItsGapsOverTheSpeed) {
    const std::string log = home.Path("till.log");
    // Stamps 0, 1 and 3 seconds apart; a record's bytes are what the conversion would keep.
    WriteFileBytes(log,
                   "[2026-12-06 05:59:12] 0x41 0x0d 0x0a\r\n"
                   "[2026-12-06 05:59:13] 0x42 0x00 0x0a\r\n"
                   "[2026-12-06 05:59:15] 0x43 0x0a\r\n");
    LoopbackTcpServer server;
    std::string err;
    EXPECT_EQ(RunChild(kCli,
                       {"play", log, "--tcp", "127.0.0.1:" + std::to_string(server.Port()),
                        "--pace", "recorded", "--speed", "10"},
                       nullptr, &err),
              0)
        << err;
    ASSERT_TRUE(server.WaitForClosed(1));
    EXPECT_EQ(server.Received(), std::string("A\r\nB\0\nC\n", 8));
    const auto arrivals = server.LineArrivals(0);
    ASSERT_EQ(arrivals.size(), 3u);
    const auto firstGap = arrivals[1] - arrivals[0];
    const auto secondGap = arrivals[2] - arrivals[1];
    // About 100 and 200 ms: never shorter than the log's gaps over the speed (a millisecond of
    // the timer's slack aside), the second the longer, and both far from the log's own 1 and 2 s.
    EXPECT_GE(firstGap, std::chrono::milliseconds(99));
    EXPECT_GE(secondGap, std::chrono::milliseconds(199));
    EXPECT_GT(secondGap, firstGap);
    EXPECT_LT(firstGap + secondGap, std::chrono::seconds(3));
    EXPECT_NE(err.find("log time 2026-12-06 05:59:12 to 05:59:15 (3 s)"), std::string::npos) << err;

    // Only a stamped hex log has a recorded pace.
    const std::string plain = home.Path("plain.txt");
    WriteFileBytes(plain, "TOTAL\n");
    EXPECT_EQ(RunChild(kCli,
                       {"play", plain, "--tcp", "127.0.0.1:" + std::to_string(server.Port()),
                        "--pace", "recorded"},
                       nullptr, &err),
              1);
    EXPECT_NE(err.find("is neither a stamped hex log"), std::string::npos) << err;
}
}  // namespace
