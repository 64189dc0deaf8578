#pragma once
// IPv4 sockets for the transports and the receiver: an owning socket handle (TCP stream or UDP
// datagram), a connect with a time limit, a listening socket whose connections are taken without
// waiting, sends that never raise a signal, receives, and the datagram settings for broadcast and
// multicast.
// Waits: each call that may wait long (Connect, WaitReadable) takes a time limit and a cancel
// event, a CWakeEvent, and ends with kInterrupted as soon as that event is set or at once when it
// already was; an event never created means no cancel. The same event may be handed to any
// number of waits (the stop request's InterruptWakeEvent, a transport's own). Send and Receive
// wait only for the peer: a Send is ended from another thread by Shutdown(), a Receive is called
// once WaitReadable has said there is something to take.
// Threads: a CSocket belongs to one thread at a time, except that Shutdown() may be called from
// another thread while the owner is blocked in Connect() or Send() (which then fail at once),
// and the cancel event may be set from any thread.
// Failures: every failure is a SocketError, returned or stored through pError next to a result of
// -1, false or a closed socket; nothing here throws.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/WakeEvent.h"

// The program's own socket error codes, numbered like their Windows Sockets counterparts so that
// a trace reads the same on every system; each is derived from the system's error value
// (SocketErrorOf in SystemError.h).
enum class SocketError : std::uint32_t {
    kNone = 0,
    kInterrupted = 10004,   // the owner cancelled the wait
    kBadSocket = 10009,     // the socket is closed or not a socket
    kAccessDenied = 10013,  // e.g. a broadcast address without permission
    kInvalidArgument = 10022,
    kTooManySockets = 10024,  // the process or the system ran out of descriptors
    kWouldBlock = 10035,      // nothing to take yet (no connection waiting on a listener)
    kMessageTooLong = 10040,  // a datagram larger than the protocol allows
    kAddressFamily = 10047,   // IPv4 is not available
    kAddressInUse = 10048,
    kAddressNotAvailable = 10049,  // no route to such an address from here
    kNetworkDown = 10050,
    kNetworkUnreachable = 10051,
    kConnectionAborted = 10053,  // the local side ended the connection
    kConnectionReset = 10054,    // the peer reset the connection
    kNoBuffers = 10055,          // out of memory in the network stack
    kNotConnected = 10057,
    kShutDown = 10058,           // sending after the connection was shut down or closed
    kTimedOut = 10060,           // the connect time limit passed
    kConnectionRefused = 10061,  // nothing listens there
    kHostUnreachable = 10065,
    kOther = 10107,  // any other failure of a system call
};

inline std::uint32_t SocketErrorCode(SocketError error) {
    return static_cast<std::uint32_t>(error);
}

// A short text for people ("the address is already in use"), the same on every system.
std::string SocketErrorText(SocketError error);

// The dotted text of an IPv4 address held in host byte order (0x7F000001 -> "127.0.0.1").
std::string FormatIPv4Address(std::uint32_t dwHostOrderAddr);

// True for an address of a multicast group, 224.0.0.0 to 239.255.255.255 (host byte order).
inline bool IsMulticastAddress(std::uint32_t dwHostOrderAddr) {
    return (dwHostOrderAddr >> 28) == 0xE;
}

// Looks `host` up as a dotted IPv4 address or a name (first IPv4 address of the name). False when
// it cannot be resolved, with the resolver's reason in `errorText`.
bool ResolveIPv4Host(const std::string& host, std::uint32_t& dwAddr, std::string& errorText);

// An owning socket handle (a descriptor, a Windows SOCKET); closed exactly when its handle is -1.
// Move-only.
class CSocket {
  public:
    CSocket() noexcept = default;
    ~CSocket();
    CSocket(CSocket&& other) noexcept;
    CSocket& operator=(CSocket&& other) noexcept;
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    // A new TCP stream socket or UDP datagram socket; on failure the result is closed and
    // *pError (if given) says why.
    static CSocket OpenStream(SocketError* pError);
    static CSocket OpenDatagram(SocketError* pError);

    bool IsOpen() const noexcept { return m_hSocket >= 0; }
    std::intptr_t Native() const noexcept { return m_hSocket; }

    // Connects a stream socket to dwAddr:wPort (host byte order). Ends with kTimedOut when the
    // connection is not made within `timeout`, and with kInterrupted as soon as `cancel` is (or
    // already was) set. On success the socket is left in blocking mode for Send().
    SocketError Connect(std::uint32_t dwAddr, std::uint16_t wPort,
                        std::chrono::milliseconds timeout, const CWakeEvent& cancel);

    // One send of up to nLen bytes, blocking until the system takes at least one byte (or all of
    // a zero-length send). Never raises a signal when the peer has gone. `nFlags` are extra
    // send flags (0 in normal use). Returns the number of bytes the system took, or -1 with
    // *pError set. A signal arriving during the wait is not a failure: the send is retried.
    std::int64_t Send(const void* pData, std::size_t nLen, int nFlags, SocketError* pError);

    // Sends one datagram of nLen bytes to dwAddr:wPort (host byte order) from an unconnected
    // datagram socket. Returns nLen or -1 with *pError set.
    std::int64_t SendTo(const void* pData, std::size_t nLen, std::uint32_t dwAddr,
                        std::uint16_t wPort, SocketError* pError);

    // --- the server side of TCP -----------------------------------------------------------
    // Binds the socket to dwAddr:wPort (host byte order; 0.0.0.0 all interfaces, port 0 one the
    // system chooses, see LocalPort). `bReuseAddress` lets a listener take its port back at once
    // although connections of an earlier one still linger.
    SocketError Bind(std::uint32_t dwAddr, std::uint16_t wPort, bool bReuseAddress);
    // Makes a bound stream socket listen, with the longest queue of connections waiting to be
    // accepted that the system allows; Accept then never waits.
    SocketError Listen();
    // Takes the next connection waiting on a listening socket into `peer` (closed first), in
    // blocking mode for Send(), with its address and port (host byte order) when asked. Returns
    // kWouldBlock at once when no connection is waiting.
    SocketError Accept(CSocket& peer, std::uint32_t* pdwPeerAddr, std::uint16_t* pwPeerPort);
    // The port the socket is bound to (0 when it is not bound or closed).
    std::uint16_t LocalPort() const;

    // Waits until the socket has something to be read (a connection to accept, bytes, or the
    // peer's close), until `cancel` is (or already was) set, or until `timeout` has passed
    // (negative: no limit). Returns kNone, kInterrupted or kTimedOut (or the failure).
    SocketError WaitReadable(const CWakeEvent& cancel, std::chrono::milliseconds timeout) const;

    // For a connection that is only written to: reads and drops whatever the peer sent, without
    // waiting. False when the peer has closed or reset the connection (or the socket is closed).
    bool DiscardIncoming();

    // Reads what is there, waiting for it when nothing is: bytes of a connection (0 when the
    // peer has closed it) or one whole datagram (which may be empty; only its first nCapacity
    // bytes when it is longer). Returns the count or -1 with *pError set. A signal arriving
    // during the wait is not a failure. When the socket counts dropped datagrams
    // (CountDroppedDatagrams), *pdwDropped (if given) gets the count as it stood when this
    // datagram was queued.
    std::int64_t Receive(void* pBuffer, std::size_t nCapacity, SocketError* pError,
                         std::uint32_t* pdwDropped = nullptr);

    // --- datagram sources -------------------------------------------------------------------
    // Lets other sockets of this machine bind the same port as well (a device and a test of it,
    // members of one multicast group). Before Bind.
    SocketError SharePort();
    // Makes a bound datagram socket a member of the multicast group dwGroup, on the interface
    // that has the address dwInterfaceAddr (host byte order; 0: the one the system's routes
    // choose).
    SocketError JoinMulticastGroup(std::uint32_t dwGroup, std::uint32_t dwInterfaceAddr);
    // Asks for a receive buffer of nBytes (the system may give less).
    SocketError SetReceiveBufferSize(int nBytes);
    // Asks the system to tell, with every datagram read, how many datagrams it has dropped on
    // this socket for want of buffer space. False where the system keeps no such count per
    // socket (Windows) or would not switch it on.
    bool CountDroppedDatagrams();
    // The socket's count of dropped datagrams as the system keeps it now; none where it cannot
    // tell.
    std::optional<std::uint64_t> DroppedDatagrams() const;

    // --- datagram destinations --------------------------------------------------------------
    // Allows sends to a broadcast address (255.255.255.255, a subnet's highest address).
    SocketError EnableBroadcast();
    // For datagrams sent to a multicast group (224.0.0.0/4): at most `nTtl` router hops (0..255),
    // out of the interface that has the address dwInterfaceAddr (host byte order; 0: the system
    // chooses by its routes). Copies are delivered to members on this machine as well.
    SocketError SetMulticastSending(int nTtl, std::uint32_t dwInterfaceAddr);

    // A stream socket sends each piece at once instead of holding small ones back to gather
    // them (TCP_NODELAY).
    SocketError SetNoDelay();

    // Ends both directions without releasing the handle: a Send() blocked in another thread
    // returns -1 at once, and so does every later one. A connect in progress is abandoned.
    void Shutdown() noexcept;

    // Releases the handle; the socket is closed afterwards. Closing a closed socket does nothing.
    void Close() noexcept;

    // Hands the open handle over to the caller, who closes it from then on (an event loop that
    // takes a listening socket set up here); this object is left closed.
    std::intptr_t Detach() noexcept {
        const std::intptr_t hSocket = m_hSocket;
        m_hSocket = -1;
        return hSocket;
    }

  private:
    explicit CSocket(std::intptr_t hSocket) noexcept : m_hSocket(hSocket) {}
    // Stores `error` where the caller asked for it (pError may be null).
    static void SetError(SocketError* pError, SocketError error) noexcept;
    // The system's accept of the next connection waiting on this open listener.
    SocketError AcceptWaiting(CSocket& peer, std::uint32_t& dwPeerAddr, std::uint16_t& wPeerPort);
    std::intptr_t m_hSocket = -1;
};

// The per-object sockets library reference. On systems where sockets need no start-up these
// succeed and do nothing; AcquireSocketLibrary() returns false when sockets cannot be used.
// Windows Sockets is started once for the whole process, by the first socket operation or
// reference, and stays started until the process ends.
bool AcquireSocketLibrary();
void ReleaseSocketLibrary();
