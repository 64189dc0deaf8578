#pragma once
// The receiving end of a network line for the command line's receiver: a TCP listener and the
// connections it accepts, a TCP connection it makes itself to a program that listens, or a UDP
// socket bound to a port (a multicast group's members included), with the count of datagrams
// the system dropped. IPv4 only, addresses in host byte order. Built on CSocket, and waits and
// fails as CSocket does:
// Waits: ConnectTcp and WaitReadable take a cancel event (CWakeEvent; the command line hands
// them InterruptWakeEvent) and end with kInterrupted as soon as it is set, or at once when it
// already was; an event never created means no cancel. ConnectTcp also ends at its time limit.
// Threads: one thread at a time per socket; the cancel event may be set from any thread.
// Failures: every failure is a SocketError (SocketErrorText words it), returned or stored
// through pError next to a result of -1; nothing here throws.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Socket.h"
#include "platform/WakeEvent.h"

class CReceiveSocket {
  public:
    CReceiveSocket() noexcept = default;
    ~CReceiveSocket();
    CReceiveSocket(CReceiveSocket&& other) noexcept;
    CReceiveSocket& operator=(CReceiveSocket&& other) noexcept;
    CReceiveSocket(const CReceiveSocket&) = delete;
    CReceiveSocket& operator=(const CReceiveSocket&) = delete;

    // Listens for TCP connections on dwAddr:wPort; port 0 lets the system choose (LocalPort).
    SocketError ListenTcp(std::uint32_t dwAddr, std::uint16_t wPort);
    // Binds a UDP socket to dwAddr:wPort; port 0 lets the system choose.
    SocketError BindUdp(std::uint32_t dwAddr, std::uint16_t wPort);
    // Binds a UDP socket to wPort on every interface and joins the multicast group dwGroup on the
    // interface that has the address dwInterface (0: the one the system's routes choose). Other
    // programs on this machine may take the same group and port at the same time.
    SocketError JoinUdpGroup(std::uint32_t dwGroup, std::uint16_t wPort, std::uint32_t dwInterface);

    // Connects a TCP socket to dwAddr:wPort: kNone, kTimedOut when `timeout` has passed first,
    // kInterrupted when `cancel` was set, or the failure (kConnectionRefused, ...). The
    // connection is then read like an accepted one.
    SocketError ConnectTcp(std::uint32_t dwAddr, std::uint16_t wPort,
                           std::chrono::milliseconds timeout, const CWakeEvent& cancel);

    bool IsOpen() const noexcept { return m_socket.IsOpen(); }
    std::uint16_t LocalPort() const { return m_socket.LocalPort(); }

    // Waits until the socket is readable (a connection to accept, bytes, or the peer's close):
    // kNone, kInterrupted when `cancel` was set, kTimedOut after `timeout` (negative: no limit),
    // or the failure (kBadSocket when it is closed).
    SocketError WaitReadable(const CWakeEvent& cancel, std::chrono::milliseconds timeout =
                                                           std::chrono::milliseconds(-1)) const;

    // Takes the next connection waiting on a listener into `connection` (closed first), without
    // waiting; `peerText` gets "a.b.c.d:port". kWouldBlock when none is there (any more: a peer
    // may give up between the wait and the accept).
    SocketError Accept(CReceiveSocket& connection, std::string& peerText);

    // Reads what is there: bytes of a connection (0 when the peer has closed it) or one whole
    // datagram (which may be empty). -1 with *pError (if given) set on failure; a reset by the
    // peer ends a connection like a close.
    std::int64_t Receive(void* pBuffer, std::size_t nCapacity, SocketError* pError);

    // For a UDP socket: how many datagrams the system has dropped since the socket was opened
    // because its receive buffer was full. None where the system cannot tell per socket
    // (Windows), or when the count could not be switched on.
    std::optional<std::uint64_t> DroppedDatagrams() const;

    void Close() noexcept;

  private:
    // Takes `opened` as this socket when `error` is none; returns `error`.
    SocketError Keep(CSocket opened, SocketError error);
    // Asks for a large receive buffer and the drop count of the datagram socket just kept.
    void PrepareDatagrams();

    CSocket m_socket;
    bool m_bCountsDrops = false;      // the system tells the drop count with every datagram
    std::uint32_t m_dwDropsSeen = 0;  // the count the last datagram read came with
};
