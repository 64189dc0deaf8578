#include "SocatLine.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "WineHost.h"
#include "platform/Socket.h"

namespace {
// Port numbers of the lines' own ends, far from the COM1 to COM31 that tests use by name. The
// test programs that use COM ports run one at a time (ctest's lock on the prefix), so a count in
// this process is enough to keep them apart.
std::atomic<int> g_nextLine{0};
constexpr int kFirstProgramEnd = 100;
constexpr int kLines = 150;
// Small socket buffers on the far end's connection, so that a far end that reads nothing
// stalls the line after kilobytes, as a device that stops reading would.
constexpr int kBufferSize = 4096;

std::string ComDevice(int n) {
    return "\\\\.\\COM" + std::to_string(n);
}

std::string LinkPath(int n) {
    return DosDevicesFolder() + "/com" + std::to_string(n);
}

// Waits until `socket` is readable (or has failed); false when `timeout` passed first.
bool Readable(SOCKET socket, std::chrono::milliseconds timeout) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval limit{static_cast<long>(timeout.count() / 1000),
                  static_cast<long>((timeout.count() % 1000) * 1000)};
    return select(0, &set, nullptr, nullptr, &limit) == 1;
}
}  // namespace

CSocatLine::CSocatLine() {
    if (DosDevicesFolder().empty()) {
        throw std::runtime_error(
            "a serial line for tests needs Wine and socat (on Windows itself: a null-modem pair)");
    }
    AcquireSocketLibrary();
    m_programNumber = kFirstProgramEnd + g_nextLine.fetch_add(1) % kLines;
    m_programEnd = ComDevice(m_programNumber);
    m_pidFile = DosDevicesFolder() + "/../tillstream-socat-" + std::to_string(m_programNumber);

    // socat makes the terminal and its link first, then connects to this listener.
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0x7F000001);
    int length = sizeof address;
    setsockopt(listener, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&kBufferSize),
               sizeof kBufferSize);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(listener);
        throw std::runtime_error("no loopback listener for the far end");
    }
    const std::string programLink = LinkPath(m_programNumber);
    // The time limit only ends a socat whose test program died before it could end it itself.
    const std::string script = "rm -f '" + programLink + "'\n" +
                               "timeout 1800 socat PTY,raw,echo=0,link='" + programLink +
                               "' TCP:127.0.0.1:" + std::to_string(ntohs(address.sin_port)) +
                               ",nodelay,sndbuf=" + std::to_string(kBufferSize) + " &\n" +
                               "echo $! > '" + m_pidFile + "'\nwait";
    if (!StartLinuxShell(script)) {
        closesocket(listener);
        throw std::runtime_error("socat could not be started");
    }
    m_bRunning = true;
    if (Readable(listener, std::chrono::seconds(20))) {
        m_farEnd = accept(listener, nullptr, nullptr);
    }
    closesocket(listener);
    if (m_farEnd == INVALID_SOCKET) {
        End();
        throw std::runtime_error("socat did not come up (is socat installed?)");
    }
    m_hProgramEnd = CreateFileA(m_programEnd.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (m_hProgramEnd == INVALID_HANDLE_VALUE) {
        End();
        throw std::runtime_error("the program's end of the line cannot be opened");
    }
}

CSocatLine::~CSocatLine() {
    End();
    for (const int n : m_links) {
        RemoveComPort(n);
    }
}

void CSocatLine::LinkAs(int n) {
    const std::string link = LinkPath(n);
    RunLinuxShell("ln -sfn \"$(readlink '" + LinkPath(m_programNumber) + "')\" '" + link + "'");
    m_links.push_back(n);
}

void CSocatLine::RemoveComPorts(int nFirst, int nLast) {
    std::string script = "rm -f";
    for (int n = nFirst; n <= nLast; ++n) {
        script += " '" + LinkPath(n) + "'";
    }
    RunLinuxShell(script);
}

void CSocatLine::Write(std::string_view bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const int sent =
            send(m_farEnd, bytes.data() + done,
                 static_cast<int>(std::min<std::size_t>(bytes.size() - done, 65536)), 0);
        if (sent == SOCKET_ERROR) {
            throw std::runtime_error("write to the far end failed");
        }
        done += static_cast<std::size_t>(sent);
    }
}

std::string CSocatLine::Read(std::size_t count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Readable(m_farEnd, left)) {
            break;
        }
        const int got = recv(m_farEnd, buffer,
                             static_cast<int>(std::min(sizeof buffer, count - bytes.size())), 0);
        if (got <= 0) {
            break;  // the line has gone
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

std::string CSocatLine::Drain(std::chrono::milliseconds quiet) const {
    std::string bytes;
    char buffer[4096];
    while (Readable(m_farEnd, quiet)) {
        const int got = recv(m_farEnd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

bool CSocatLine::WaitForData(std::chrono::milliseconds timeout) const {
    return m_farEnd != INVALID_SOCKET && Readable(m_farEnd, timeout);
}

void CSocatLine::End() {
    if (m_hProgramEnd != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hProgramEnd);
        m_hProgramEnd = INVALID_HANDLE_VALUE;
    }
    if (m_bRunning) {
        m_bRunning = false;
        // The pid is that of `timeout`, which hands the signal on to socat and waits for it.
        RunLinuxShell("pid=$(cat '" + m_pidFile +
                      "' 2>/dev/null) && kill \"$pid\" 2>/dev/null\n"
                      "while [ -n \"$pid\" ] && kill -0 \"$pid\" 2>/dev/null; do sleep 0.01; done\n"
                      "rm -f '" +
                      m_pidFile + "' '" + LinkPath(m_programNumber) + "'");
    }
    if (m_farEnd != INVALID_SOCKET) {
        closesocket(m_farEnd);
        m_farEnd = INVALID_SOCKET;
    }
}
