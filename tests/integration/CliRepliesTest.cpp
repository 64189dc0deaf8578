// tillstream-cli play talking with its device, as a process: with --wait-for a device that
// answers each line is never sent the next one before its answer (over a TCP connection either
// way round and over a serial line), a device that never answers costs each line the reply
// time-out (a rig's lane too, which reports it), and --char-delay sends a line byte by byte.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ListeningPort.h"
#include "LoopbackServer.h"
#include "PtyPair.h"
#include "TempHome.h"
#include "platform/Socket.h"

namespace {
using namespace std::chrono_literals;
const std::string kCli = TILLSTREAM_CLI_PATH;
const CWakeEvent kNoCancel;

// The device's end of the line, as the test plays it.
class DeviceEnd {
  public:
    virtual ~DeviceEnd() = default;
    // The next line the program sent, with its LF; shorter when none came in time.
    virtual std::string ReadLine() = 0;
    // Something has come that was not read yet.
    virtual bool Pending() = 0;
    virtual void Answer(const std::string& bytes) = 0;
};

class SocketEnd : public DeviceEnd {
  public:
    explicit SocketEnd(CSocket socket) : m_socket(std::move(socket)) {}
    std::string ReadLine() override {
        while (m_rest.find('\n') == std::string::npos) {
            char buffer[256];
            if (m_socket.WaitReadable(kNoCancel, 10s) != SocketError::kNone) {
                break;
            }
            const std::int64_t count = m_socket.Receive(buffer, sizeof buffer, nullptr);
            if (count <= 0) {
                break;
            }
            m_rest.append(buffer, static_cast<std::size_t>(count));
        }
        const std::size_t end = std::min(m_rest.find('\n'), m_rest.size() - 1) + 1;
        std::string line = m_rest.substr(0, end);
        m_rest.erase(0, end);
        return line;
    }
    bool Pending() override {
        return !m_rest.empty() || m_socket.WaitReadable(kNoCancel, 0ms) == SocketError::kNone;
    }
    void Answer(const std::string& bytes) override {
        m_socket.Send(bytes.data(), bytes.size(), 0, nullptr);
    }

  private:
    CSocket m_socket;
    std::string m_rest;
};

class SerialEnd : public DeviceEnd {
  public:
    explicit SerialEnd(PtyPair& pty) : m_pty(pty) {}
    std::string ReadLine() override {
        std::string line;
        while (line.empty() || line.back() != '\n') {
            const std::string byte = m_pty.ReadFromMaster(1);
            if (byte.empty()) {
                break;
            }
            line += byte;
        }
        return line;
    }
    bool Pending() override { return m_pty.WaitForMasterData(0ms); }
    void Answer(const std::string& bytes) override { m_pty.WriteToMaster(bytes); }

  private:
    PtyPair& m_pty;
};

class CliRepliesTest : public ProcessHomeTest {};

TEST_F(CliRepliesTest, AnAnsweringDeviceNeverGetsTheNextLineBeforeItsAnswer) {
    enum class Way { kTcp, kListen, kSerial };
    const struct {
        const char* name;
        Way way;
    } cases[] = {{"tcp", Way::kTcp}, {"listen", Way::kListen}, {"serial", Way::kSerial}};
    const std::string file = home.Path("three.txt");
    WriteFileBytes(file, "A1\nB2\nC3\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // No delay: without the wait the lines would follow one another at once.
        std::vector<std::string> args = {"play", file, "--delay", "0", "--wait-for", "OK\\r\\n"};
        CSocket listener;
        PtyPair pty;
        if (c.way == Way::kTcp) {
            listener = CSocket::OpenStream(nullptr);
            ASSERT_EQ(listener.Bind(kLoopbackAddress, 0, true), SocketError::kNone);
            ASSERT_EQ(listener.Listen(), SocketError::kNone);
            args.insert(args.end(), {"--tcp", "127.0.0.1:" + std::to_string(listener.LocalPort())});
        } else if (c.way == Way::kListen) {
            args.insert(args.end(), {"--listen", "127.0.0.1:0"});
        } else {
            ASSERT_TRUE(pty.IsOpen());
            pty.LinkAsComPort(6);
            args.insert(args.end(), {"--serial", "COM6"});
        }
        ChildProcess play(kCli, args);
        std::unique_ptr<DeviceEnd> device;
        if (c.way == Way::kTcp) {
            ASSERT_EQ(listener.WaitReadable(kNoCancel, 10s), SocketError::kNone);
            CSocket peer;
            ASSERT_EQ(listener.Accept(peer, nullptr, nullptr), SocketError::kNone);
            device = std::make_unique<SocketEnd>(std::move(peer));
        } else if (c.way == Way::kListen) {
            const std::uint16_t port = ListeningPort(play);
            ASSERT_GT(port, 0) << play.Stderr();
            CSocket peer = CSocket::OpenStream(nullptr);
            ASSERT_EQ(peer.Connect(kLoopbackAddress, port, 10s, kNoCancel), SocketError::kNone);
            device = std::make_unique<SocketEnd>(std::move(peer));
        } else {
            device = std::make_unique<SerialEnd>(pty);
        }
        for (const char* expected : {"A1\n", "B2\n", "C3\n"}) {
            EXPECT_EQ(device->ReadLine(), expected) << play.Stderr();
            std::this_thread::sleep_for(200ms);
            EXPECT_FALSE(device->Pending()) << "a line came before the answer to " << expected;
            // Bytes that are not the answer come first, and the answer comes in two writes.
            device->Answer("busy O");
            device->Answer("K\r\n");
        }
        EXPECT_EQ(play.Wait(), 0) << play.Stderr();
        EXPECT_NE(play.Stderr().find("replies: 3 answered, 0 unanswered (timeout 5000 ms); reply "
                                     "time mean"),
                  std::string::npos)
            << play.Stderr();
    }
}

TEST_F(CliRepliesTest, ADeviceThatNeverAnswersCostsEachLineTheReplyTimeout) {
    const std::string file = home.Path("three.txt");
    WriteFileBytes(file, "A1\nB2\nC3\n");
    LoopbackTcpServer silent;  // reads, never answers
    std::string err;
    EXPECT_EQ(RunChild(kCli,
                       {"play", file, "--tcp", "127.0.0.1:" + std::to_string(silent.Port()),
                        "--delay", "0", "--wait-for", "\\x06", "--reply-timeout", "300"},
                       nullptr, &err),
              0)
        << err;
    EXPECT_NE(err.find("replies: 0 answered, 3 unanswered (timeout 300 ms)\n"), std::string::npos)
        << err;
    ASSERT_TRUE(silent.WaitForBytes(9));
    const std::vector<std::chrono::system_clock::time_point> arrivals = silent.LineArrivals(0);
    ASSERT_EQ(arrivals.size(), 3u);
    for (std::size_t n = 1; n < arrivals.size(); ++n) {
        EXPECT_GE(arrivals[n] - arrivals[n - 1], 250ms) << "line " << n + 1;
    }

    // A rig's lane says the same on a line of its own and in its report.
    const std::string rig = home.Path("rig.json");
    WriteFileBytes(rig, R"({"lanes": [{"file": "three.txt", "tcp": "127.0.0.1:)" +
                            std::to_string(silent.Port()) +
                            R"(", "delay": 0, "wait-for": "\\x06", "reply-timeout": 300}]})");
    std::string report;
    EXPECT_EQ(RunChild(kCli, {"rig", rig, "--report", "-"}, &report, &err), 0) << err;
    EXPECT_NE(err.find("lane 1: replies: 0 answered, 3 unanswered (timeout 300 ms)\n"),
              std::string::npos)
        << err;
    const std::size_t json = report.rfind("{\"lanes\"");
    ASSERT_NE(json, std::string::npos) << report;
    const nlohmann::json row = nlohmann::json::parse(report.substr(json))["lanes"][0];
    EXPECT_EQ(row["answered"], 0);
    EXPECT_EQ(row["unanswered"], 3);
    EXPECT_TRUE(row["p99_reply_ms"].is_null());
}

TEST_F(CliRepliesTest, CharDelaySendsEachByteOnItsOwn) {
    // One line of five line feeds, so that the receiver stamps the arrival of every byte.
    const std::string file = home.Path("feeds.txt");
    WriteFileBytes(file, "[TILLSTREAM_DATA]\r\n0x0a 0x0a 0x0a 0x0a 0x0a\r\n");
    LoopbackTcpServer server;
    EXPECT_EQ(RunChild(kCli, {"play", file, "--tcp", "127.0.0.1:" + std::to_string(server.Port()),
                              "--delay", "0", "--char-delay", "60", "--quiet"}),
              0);
    ASSERT_TRUE(server.WaitForBytes(5));
    const std::vector<std::chrono::system_clock::time_point> arrivals = server.LineArrivals(0);
    ASSERT_EQ(arrivals.size(), 5u);
    for (std::size_t n = 1; n < arrivals.size(); ++n) {
        EXPECT_GE(arrivals[n] - arrivals[n - 1], 50ms) << "byte " << n + 1;
    }

    // Over UDP each byte is a datagram of its own.
    LoopbackUdpReceiver receiver;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(RunChild(kCli, {"play", file, "--udp", "127.0.0.1:" + std::to_string(receiver.Port()),
                              "--delay", "0", "--char-delay", "60", "--quiet"}),
              0);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 4 * 50ms);
    ASSERT_TRUE(receiver.WaitForDatagrams(5));
    EXPECT_EQ(receiver.Datagrams(), std::vector<std::string>(5, "\n"));
}

TEST_F(CliRepliesTest, AWaitThatCannotWorkIsRefusedBeforeAnythingIsSent) {
    const std::string file = home.Path("one.txt");
    WriteFileBytes(file, "A\n");
    LoopbackUdpReceiver receiver;
    const std::string udp = "127.0.0.1:" + std::to_string(receiver.Port());
    const struct {
        std::vector<std::string> flags;
        const char* named;
    } cases[] = {
        {{"--udp", udp, "--wait-for", "OK"}, "--wait-for needs a device that answers"},
        {{"--tcp", "127.0.0.1:9", "--wait-for", "OK\\q"}, "--wait-for: \\q is not an escape"},
        {{"--tcp", "127.0.0.1:9", "--reply-timeout", "100"}, "--reply-timeout goes with"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"play", file};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        std::string err;
        EXPECT_EQ(RunChild(kCli, args, nullptr, &err), 2) << c.named;
        EXPECT_NE(err.find(c.named), std::string::npos) << err;
    }
    EXPECT_FALSE(receiver.WaitForDatagrams(1, 100ms));
}
}  // namespace
