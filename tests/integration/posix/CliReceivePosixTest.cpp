// receive and play --listen stopped with SIGSTOP while datagrams or connections keep coming:
// what the system keeps for them, and what they learn about the rest.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "LoopbackServer.h"
#include "TempHome.h"
#include "platform/Socket.h"

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

int ListeningPort(ChildProcess& child) {
    const std::string line = child.WaitForStderrLine("listening on ");
    return line.empty() ? 0 : std::atoi(line.c_str() + line.rfind(':') + 1);
}

class CliReceivePosixTest : public ProcessHomeTest {};

TEST_F(CliReceivePosixTest, UdpSummaryCountsTheDatagramsTheSystemDropped) {
    ChildProcess child(kCli, {"receive", "--udp", "127.0.0.1:0"});
    const int port = ListeningPort(child);
    ASSERT_GT(port, 0) << child.Stderr();
    CSocket sender = CSocket::OpenDatagram(nullptr);
    long long sent = 0;
    auto send = [&](const std::string& datagram) {
        sent += sender.SendTo(datagram.data(), datagram.size(), kLoopbackAddress,
                              static_cast<std::uint16_t>(port), nullptr) > 0;
    };
    // 20 MB while the receiver sleeps: over twice what its buffer holds (it asks for 4 MB,
    // which Linux doubles at most), so the system drops many.
    child.Signal(SIGSTOP);
    for (int i = 0; i < 20000; ++i) {
        send(std::string(1000, 'd'));
    }
    child.Signal(SIGCONT);
    // A last datagram gets through once the buffer has room; until then it is dropped too.
    bool bLastSeen = false;
    for (int attempt = 0; attempt < 100 && !bLastSeen; ++attempt) {
        send("last\n");
        bLastSeen = child.WaitForStdout("\tlast\\n", std::chrono::milliseconds(200));
    }
    ASSERT_TRUE(bLastSeen);
    child.Interrupt();
    ASSERT_EQ(child.Wait(), 130);
    const std::string summary = child.Stderr();
    const std::string label = "datagrams dropped by the system (receive buffer full): ";
    ASSERT_NE(summary.find(label), std::string::npos) << summary;
    const long long dropped = std::atoll(summary.c_str() + summary.find(label) + label.size());
    const std::string out = child.Stdout();
    EXPECT_GT(dropped, 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n') + dropped, sent) << summary;
}

TEST_F(CliReceivePosixTest, ListenersQueueABurstOfConnectionsWhileTheProgramIsBusy) {
    const std::string file = home.Path("receipt.txt");
    WriteFileBytes(file, "TOTAL 3.20\r\n");
    // More connections than a queue of 16 holds, fewer than the least limit Linux has had (128).
    // The system completes those that find room in the queue without the program; one that found
    // it full would wait for retries that find it full as long as the program sleeps.
    constexpr int kConnections = 100;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"receive", "--tcp", "127.0.0.1:0"},
          std::vector<std::string>{"play", file, "--listen", "127.0.0.1:0", "--loop", "--delay",
                                   "100"}}) {
        ChildProcess child(kCli, args);
        const int port = ListeningPort(child);
        ASSERT_GT(port, 0) << child.Stderr();
        child.Signal(SIGSTOP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(kLoopbackAddress);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        std::vector<pollfd> peers;
        for (int i = 0; i < kConnections; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
            peers.push_back({fd, POLLOUT, 0});
        }
        // Only a bound on the wait: with room in the queue every one is in at once.
        int connected = 0;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (connected < kConnections && std::chrono::steady_clock::now() < giveUp) {
            ::poll(peers.data(), peers.size(), 100);
            connected = static_cast<int>(std::count_if(peers.begin(), peers.end(), [](auto& p) {
                int error = -1;
                socklen_t length = sizeof error;
                return (p.revents & POLLOUT) != 0 &&
                       ::getsockopt(p.fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
            }));
        }
        EXPECT_EQ(connected, kConnections) << args[0];
        child.Signal(SIGCONT);
        for (const pollfd& peer : peers) {
            ::close(peer.fd);
        }
        EXPECT_TRUE(child.WaitForStderr("connection " + std::to_string(kConnections) + " "))
            << args[0] << ": " << child.Stderr();
        child.Interrupt();
        EXPECT_EQ(child.Wait(), 130) << args[0];
    }
}
}  // namespace
