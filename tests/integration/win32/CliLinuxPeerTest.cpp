// tillstream-cli.exe under Wine sending to receivers that are Linux programs (socat), not Windows
// code: what arrives on the Linux side of the loopback is exactly the file's lines.
// Windows Sockets before anything that brings in windows.h.
#include <winsock2.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "TempHome.h"
#include "TestSystem.h"
#include "platform/FileSystem.h"
#include "platform/Socket.h"
#include "win32/WineHost.h"

namespace {
const std::string kCli = TILLSTREAM_CLI_PATH;

// A Linux socat that receives on a loopback port and writes everything it receives into a file.
class LinuxReceiver {
  public:
    // `address`: socat's listening address without its port, "TCP-LISTEN" or "UDP-RECV".
    LinuxReceiver(const TempHome& home, const std::string& address, int port)
        : m_out(home.Path(address + ".bytes")), m_pid(home.Path(address + ".pid")) {
        const std::string log = UnixPathOf(home.Path(address + ".log"));
        const std::string portText = std::to_string(port);
        // Ready once socat says it listens; the pid file lets the test end it.
        std::string script = "socat -d -d -u " + address + ":" + portText;
        // Its output goes to the file by the shell: socat would read the drive's ":" in the
        // prefix's paths as a separator of its own.
        script += ",bind=127.0.0.1,reuseaddr STDOUT >'" + UnixPathOf(m_out) + "'";
        script += " 2>'" + log + "' & echo $! > '" + UnixPathOf(m_pid) + "'\n";
        script += "ready=1\n";
        script += "for i in $(seq 200); do\n";
        script +=
            "  if grep -Eq 'listening on|starting data' '" + log + "'; then ready=0; break; fi\n";
        script += "  sleep 0.05\n";
        script += "done\n";
        script += "test $ready = 0\n";
        m_bReady = RunLinuxShell(script) == 0;
    }
    ~LinuxReceiver() { End(); }
    LinuxReceiver(const LinuxReceiver&) = delete;
    LinuxReceiver& operator=(const LinuxReceiver&) = delete;

    bool IsReady() const { return m_bReady; }

    // Waits until the file holds `size` bytes (at most 10 s) and returns what it holds.
    std::string WaitForBytes(std::size_t size) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::string bytes;
        while ((bytes = ReadFileBytes(m_out)).size() < size &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return bytes;
    }

    void End() {
        if (FileExists(m_pid)) {
            RunLinuxShell("kill $(cat '" + UnixPathOf(m_pid) + "') 2>/dev/null; true");
            RemoveFile(m_pid);
        }
        m_bReady = false;
    }

  private:
    std::string m_out;
    std::string m_pid;
    bool m_bReady = false;
};

// A loopback port that nothing uses at the moment: the system picks it for a socket of ours,
// which is closed again for socat to take.
int FreePort(int type) {
    AcquireSocketLibrary();
    const SOCKET probe = socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    int port = 0;
    if (bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    closesocket(probe);
    return port;
}

class CliLinuxPeerTest : public ProcessHomeTest {};

TEST_F(CliLinuxPeerTest, PlayReachesLinuxReceiversOverTcpAndUdpByteForByte) {
    if (!RunsUnderWine()) {
        GTEST_SKIP() << "the receivers are Linux programs, started from inside Wine";
    }
    const std::string file = home.Path("receipt.txt");
    WriteFileBytes(file, std::string("TOTAL 12.50\r\nCASH\n\0\xff\n", 21) + "THANK YOU");
    const std::string expected = std::string("TOTAL 12.50\r\nCASH\n\0\xff\n", 21) + "THANK YOU\n";

    const int tcpPort = FreePort(SOCK_STREAM);
    LinuxReceiver tcp(home, "TCP-LISTEN", tcpPort);
    ASSERT_TRUE(tcp.IsReady()) << "socat did not listen on TCP port " << tcpPort;
    std::string err;
    EXPECT_EQ(
        RunChild(kCli,
                 {"play", file, "--tcp", "127.0.0.1:" + std::to_string(tcpPort), "--delay", "0"},
                 nullptr, &err),
        0)
        << err;
    EXPECT_EQ(tcp.WaitForBytes(expected.size()), expected);

    const int udpPort = FreePort(SOCK_DGRAM);
    LinuxReceiver udp(home, "UDP-RECV", udpPort);
    ASSERT_TRUE(udp.IsReady()) << "socat did not listen on UDP port " << udpPort;
    // One datagram per line; the receiver writes them one after the other.
    EXPECT_EQ(RunChild(kCli,
                       {"play", file, "--udp", "127.0.0.1:" + std::to_string(udpPort), "--delay",
                        "20", "--quiet"},
                       nullptr, &err),
              0)
        << err;
    EXPECT_EQ(udp.WaitForBytes(expected.size()), expected);
}

}  // namespace
