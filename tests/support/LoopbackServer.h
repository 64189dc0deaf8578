#pragma once
// Peers on the loopback interface for tests of the network transports:
// - LoopbackTcpServer: a TCP listener on 127.0.0.1 (port chosen by the system) that accepts every
//   connection and collects what each peer sends on its own thread; it can also stay silent
//   (never read), read slowly through a small receive buffer, or reset connections.
// - StalledTcpListener: a listener whose accept queue is full and is never served, so that a
//   connect to it gets no answer and hangs until it is given up.
// - LoopbackUdpReceiver: a UDP socket on 127.0.0.1 collecting every datagram.
// - LoopbackTcpDevice: a device that connects to a listening program on 127.0.0.1 and reads what
//   it is sent, or stops reading, or floods the program with bytes of its own.
// Every wait is bounded; all methods may be called from any thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

inline constexpr std::uint32_t kLoopbackAddress = 0x7F000001;  // 127.0.0.1, host byte order
inline constexpr std::chrono::milliseconds kLoopbackWait{10000};

// A loopback TCP port where nothing listens (a connect to it is refused): taken by the system's
// choice, then given back.
std::uint16_t UnusedLoopbackPort();

struct LoopbackTcpOptions {
    // false: accept but read nothing until StartReading(), so the sender's buffers fill up.
    bool bRead = true;
    // > 0: the accepted sockets' receive buffer size (SO_RCVBUF).
    int nReceiveBufferSize = 0;
    // The most bytes one read takes.
    std::size_t nReadChunk = 64 * 1024;
    // A pause after every read: a slow reader.
    std::chrono::milliseconds readPause{0};
    // Reset each connection as soon as it is accepted. The client's connect may then succeed or
    // fail, whichever it sees first; for a reset after a known point use ResetConnections().
    bool bResetOnAccept = false;
    // > 0: take no connection before this much time has passed since the server was made. Until
    // then the accept queue is held full, so a client's connect gets no answer at all; it
    // completes with the client's next try after that (the system tries again about a second
    // after the first attempt). See IsHoldingConnects().
    std::chrono::milliseconds acceptAfter{0};
    // Set: every read's bytes are handed to it (on the server's thread, in order) and not kept,
    // so that a run of any length costs the server no memory.
    std::function<void(std::string_view bytes)> onBytes;
};

class LoopbackTcpServer {
  public:
    explicit LoopbackTcpServer(LoopbackTcpOptions options = {});
    ~LoopbackTcpServer();
    LoopbackTcpServer(const LoopbackTcpServer&) = delete;
    LoopbackTcpServer& operator=(const LoopbackTcpServer&) = delete;

    std::uint16_t Port() const { return m_port; }
    // With acceptAfter: false when the system still answered a connect, so a test cannot rely
    // on the hold.
    bool IsHoldingConnects() const { return m_bHolding; }

    // Bounded waits; each returns whether the condition was reached.
    bool WaitForConnections(std::size_t count, std::chrono::milliseconds timeout = kLoopbackWait);
    bool WaitForBytes(std::size_t count, std::chrono::milliseconds timeout = kLoopbackWait);
    // Connections whose peer has closed or reset them (seen only while reading).
    bool WaitForClosed(std::size_t count, std::chrono::milliseconds timeout = kLoopbackWait);

    std::size_t ConnectionCount() const;
    std::size_t ClosedCount() const;
    std::size_t ByteCount() const;
    // Every byte received, connection after connection in the order they were accepted.
    std::string Received() const;
    std::vector<std::string> ReceivedPerConnection() const;
    // When each line feed received on connection `index` (0 the first) arrived, as the system
    // stamped the data on arrival (on loopback: when the sender handed it over), so that a late
    // reading thread does not shift it.
    std::vector<std::chrono::system_clock::time_point> LineArrivals(std::size_t index) const;

    void StartReading();      // a server made with bRead = false begins to read
    void ResetConnections();  // resets every open connection (the peer sees ECONNRESET)

  private:
    struct Peer {
        std::intptr_t fd = -1;
        std::string bytes;
        bool bClosed = false;
        std::vector<std::chrono::system_clock::time_point> lineArrivals;
    };
    void Run();
    void HoldConnects();
    void ReleaseConnects();
    bool WaitFor(std::chrono::milliseconds timeout, const std::function<bool()>& condition);
    void Wake();

    LoopbackTcpOptions m_options;
    std::intptr_t m_listenFd = -1;  // sockets: descriptors on Linux, SOCKETs on Windows
    std::intptr_t m_wakeFd = -1;
    std::uint16_t m_port = 0;
    std::vector<std::intptr_t>
        m_fillers;  // connections that keep the accept queue full while holding
    bool m_bHolding = false;
    std::chrono::steady_clock::time_point m_made = std::chrono::steady_clock::now();
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bReading{false};
    std::atomic<bool> m_bResetRequested{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Peer> m_peers;  // under m_mutex
    std::thread m_thread;
};

class StalledTcpListener {
  public:
    StalledTcpListener();
    ~StalledTcpListener();
    StalledTcpListener(const StalledTcpListener&) = delete;
    StalledTcpListener& operator=(const StalledTcpListener&) = delete;

    std::uint16_t Port() const { return m_port; }
    // False when the system still answered a connect, so a test cannot rely on the stall.
    bool IsStalled() const { return m_bStalled; }

  private:
    std::intptr_t m_listenFd = -1;
    std::vector<std::intptr_t> m_fillers;
    std::uint16_t m_port = 0;
    bool m_bStalled = false;
};

class LoopbackUdpReceiver {
  public:
    LoopbackUdpReceiver();
    ~LoopbackUdpReceiver();
    LoopbackUdpReceiver(const LoopbackUdpReceiver&) = delete;
    LoopbackUdpReceiver& operator=(const LoopbackUdpReceiver&) = delete;

    std::uint16_t Port() const { return m_port; }
    bool WaitForDatagrams(std::size_t count, std::chrono::milliseconds timeout = kLoopbackWait);
    std::vector<std::string> Datagrams() const;

  private:
    void Run();

    std::intptr_t m_fd = -1;
    std::intptr_t m_wakeFd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_datagrams;  // under m_mutex
    std::thread m_thread;
};

struct LoopbackDeviceOptions {
    // false: reads nothing, so that the sender's buffers for it fill up.
    bool bRead = true;
    // > 0: the socket's receive buffer size (SO_RCVBUF), set before it connects.
    int nReceiveBufferSize = 0;
    // Sends bytes of its own to the program as fast as the connection takes them.
    bool bFlood = false;
};

class LoopbackTcpDevice {
  public:
    explicit LoopbackTcpDevice(std::uint16_t port, LoopbackDeviceOptions options = {});
    ~LoopbackTcpDevice();
    LoopbackTcpDevice(const LoopbackTcpDevice&) = delete;
    LoopbackTcpDevice& operator=(const LoopbackTcpDevice&) = delete;

    bool Connected() const { return m_fd >= 0; }
    bool WaitForBytes(std::size_t count, std::chrono::milliseconds timeout = kLoopbackWait);
    // The program closed (or reset) the connection; seen only while reading.
    bool WaitForClosed(std::chrono::milliseconds timeout = kLoopbackWait);
    std::string Received() const;
    // When each line feed arrived (as LoopbackTcpServer::LineArrivals).
    std::vector<std::chrono::system_clock::time_point> LineArrivals() const;
    // Bytes the program took of the flood.
    std::uint64_t BytesSent() const;

  private:
    void Run();

    LoopbackDeviceOptions m_options;
    std::intptr_t m_fd = -1;
    std::intptr_t m_wakeFd = -1;
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_received;  // under m_mutex, as are the members below
    std::vector<std::chrono::system_clock::time_point> m_lineArrivals;
    bool m_bClosed = false;
    std::uint64_t m_nSent = 0;
    std::thread m_thread;
};
