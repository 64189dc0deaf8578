#pragma once
// The receiving end of a network line for the command line's receiver: a TCP listener and the
// connections it accepts, a TCP connection it makes itself to a program that listens, or a UDP
// socket bound to a port (a multicast group's members included), with waits that a cancel handle
// (see Interrupt.h) ends at once. IPv4 only, addresses in host byte order.
// Threads: one thread at a time per socket. Failures are reported by results, with the cause in
// LastErrorText(); nothing here throws.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Looks `host` up as a dotted IPv4 address or a name (first IPv4 address of the name). False when
// it cannot be resolved, with the reason in `errorText`.
bool ResolveIPv4Host(const std::string& host, std::uint32_t& dwAddr, std::string& errorText);

class CReceiveSocket {
  public:
    enum class WaitResult {
        kReady,      // a connection to accept or bytes to read (or the peer closed)
        kCancelled,  // the cancel handle became readable
        kFailed,     // the socket is closed or the wait itself failed
    };

    CReceiveSocket() noexcept = default;
    ~CReceiveSocket();
    CReceiveSocket(CReceiveSocket&& other) noexcept;
    CReceiveSocket& operator=(CReceiveSocket&& other) noexcept;
    CReceiveSocket(const CReceiveSocket&) = delete;
    CReceiveSocket& operator=(const CReceiveSocket&) = delete;

    // Listens for TCP connections on dwAddr:wPort; port 0 lets the system choose (LocalPort).
    bool ListenTcp(std::uint32_t dwAddr, std::uint16_t wPort);
    // Binds a UDP socket to dwAddr:wPort; port 0 lets the system choose.
    bool BindUdp(std::uint32_t dwAddr, std::uint16_t wPort);
    // Binds a UDP socket to wPort on every interface and joins the multicast group dwGroup on the
    // interface that has the address dwInterface (0: the one the system's routes choose). Other
    // programs on this machine may take the same group and port at the same time.
    bool JoinUdpGroup(std::uint32_t dwGroup, std::uint16_t wPort, std::uint32_t dwInterface);

    enum class ConnectResult { kConnected, kFailed, kCancelled };
    // Connects a TCP socket to dwAddr:wPort, giving up after `timeoutMs` milliseconds, and at
    // once when `hCancel` becomes readable (-1: no cancel). The connection is then read like an
    // accepted one.
    ConnectResult ConnectTcp(std::uint32_t dwAddr, std::uint16_t wPort, int timeoutMs,
                             std::intptr_t hCancel);

    bool IsOpen() const noexcept { return m_hSocket >= 0; }
    std::uint16_t LocalPort() const;

    // Waits without time limit until the socket is readable or `hCancel` is (-1: no cancel).
    WaitResult WaitReadable(std::intptr_t hCancel) const;

    // Takes the next connection of a listener into `connection` (closed first); `peerText` gets
    // "a.b.c.d:port". False on failure.
    bool Accept(CReceiveSocket& connection, std::string& peerText);

    // Reads what is there: bytes of a connection (0 when the peer has closed it) or one whole
    // datagram (which may be empty). -1 on failure.
    long Receive(void* pBuffer, std::size_t nCapacity);

    // For a UDP socket: how many datagrams the system has dropped since the socket was opened
    // because its receive buffer was full. None where the system cannot tell per socket
    // (Windows), or when the count could not be switched on.
    std::optional<std::uint64_t> DroppedDatagrams() const;

    void Close() noexcept;
    const std::string& LastErrorText() const { return m_strLastError; }

  private:
    std::intptr_t m_hSocket = -1;  // a descriptor, a Windows SOCKET
    std::string m_strLastError;
    bool m_bCountsDrops = false;      // the system tells the drop count with every datagram
    std::uint32_t m_dwDropsSeen = 0;  // the count the last datagram read came with
};
