// Windows Sockets 2.2, started once for the whole process.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <map>
#include <mutex>
#include <set>

#include "platform/Socket.h"
#include "platform/SocketAddress.h"
#include "platform/SystemError.h"

namespace {

// A Windows Sockets code as the program's socket code.
SocketError SocketErrorOfCode(int error) {
    return SocketErrorOf(SystemErrorFromCode(static_cast<std::uint32_t>(error)));
}

// What the last failing call of this thread says, as the program's socket code.
SocketError LastSocketError() {
    return SocketErrorOfCode(WSAGetLastError());
}

SOCKET SocketOf(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

int Length(std::size_t nLen) {
    return nLen > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(nLen);
}

// Waits of a socket's owner that Shutdown() from another thread must end. Windows does not end a
// connect waiting for its answer, nor a send waiting for room, when the socket is shut down (Linux
// does), so Shutdown() marks the socket here and wakes whoever waits on it.
struct SocketWait {
    HANDLE wake;  // set by Shutdown()
};
std::mutex g_waitMutex;
std::map<SOCKET, SocketWait*> g_waits;  // under g_waitMutex
std::set<SOCKET> g_shutDown;            // under g_waitMutex: shut down, not yet closed

// A wait registered for its lifetime; IsShutDown() tells whether the socket was shut down before
// or during it.
class CSocketWait {
  public:
    CSocketWait(SOCKET socket, HANDLE wake) : m_socket(socket) {
        m_wait.wake = wake;
        std::lock_guard lock(g_waitMutex);
        g_waits[m_socket] = &m_wait;
    }
    ~CSocketWait() {
        std::lock_guard lock(g_waitMutex);
        g_waits.erase(m_socket);
    }
    CSocketWait(const CSocketWait&) = delete;
    CSocketWait& operator=(const CSocketWait&) = delete;

    bool IsShutDown() const {
        std::lock_guard lock(g_waitMutex);
        return g_shutDown.count(m_socket) != 0;
    }

  private:
    SOCKET m_socket;
    SocketWait m_wait;
};

// The event of this thread's sends: one per thread, kept for the thread's life.
WSAEVENT SendEvent() {
    thread_local const WSAEVENT event = WSACreateEvent();
    return event;
}

}  // namespace

bool AcquireSocketLibrary() {
    // Once for the process, kept until it ends: every socket of the program, whoever made it,
    // can rely on the library without counting references.
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0 && data.wVersion == MAKEWORD(2, 2);
    }();
    return started;
}

void ReleaseSocketLibrary() {}

bool ResolveIPv4Host(const std::string& host, std::uint32_t& dwAddr, std::string& errorText) {
    if (!AcquireSocketLibrary()) {
        errorText = SystemErrorText(SystemErrorFromCode(WSANOTINITIALISED));
        return false;
    }
    int status = 0;
    if (LookUpIPv4Host(host, dwAddr, status)) {
        return true;
    }
    errorText = SystemErrorText(SystemErrorFromCode(status != 0 ? status : WSAHOST_NOT_FOUND));
    return false;
}

// --- CSocket --------------------------------------------------------------------------------

namespace {
// A new socket's handle, or -1 with `error` set.
std::intptr_t OpenSocket(int type, int protocol, SocketError& error) {
    if (!AcquireSocketLibrary()) {
        error = SocketError::kNetworkDown;
        return -1;
    }
    // Not inherited: a child process must never keep a connection of ours open.
    const SOCKET handle = WSASocketW(AF_INET, type, protocol, nullptr, 0,
                                     WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    error = handle == INVALID_SOCKET ? LastSocketError() : SocketError::kNone;
    return handle == INVALID_SOCKET ? -1 : static_cast<std::intptr_t>(handle);
}

// Puts the socket into blocking or non-blocking mode (event selection must be off).
bool SetBlocking(SOCKET handle, bool bBlocking) {
    u_long nonBlocking = bBlocking ? 0 : 1;
    return ioctlsocket(handle, FIONBIO, &nonBlocking) == 0;
}
}  // namespace

CSocket CSocket::OpenStream(SocketError* pError) {
    SocketError error = SocketError::kNone;
    CSocket opened(OpenSocket(SOCK_STREAM, IPPROTO_TCP, error));
    SetError(pError, error);
    return opened;
}

CSocket CSocket::OpenDatagram(SocketError* pError) {
    SocketError error = SocketError::kNone;
    CSocket opened(OpenSocket(SOCK_DGRAM, IPPROTO_UDP, error));
    SetError(pError, error);
    return opened;
}

SocketError CSocket::Connect(std::uint32_t dwAddr, std::uint16_t wPort,
                             std::chrono::milliseconds timeout, const CWakeEvent& cancel) {
    if (m_hSocket == -1) {
        return SocketError::kBadSocket;
    }
    if (cancel.IsSet()) {
        return SocketError::kInterrupted;
    }
    // A blocking connect would wait for the system's own limit with no way to end it, so the
    // socket reports the connect's outcome to an event, which is waited for next to the cancel
    // event and the time limit. Selecting events makes the socket non-blocking.
    const SOCKET handle = SocketOf(m_hSocket);
    const WSAEVENT connected = WSACreateEvent();
    if (connected == WSA_INVALID_EVENT) {
        return LastSocketError();
    }
    SocketError result = SocketError::kNone;
    const CSocketWait watch(handle, connected);
    if (WSAEventSelect(handle, connected, FD_CONNECT) != 0) {
        result = LastSocketError();
    } else {
        const sockaddr_in address = MakeAddress(dwAddr, wPort);
        if (connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            if (const int error = WSAGetLastError(); error != WSAEWOULDBLOCK) {
                result = SocketErrorOfCode(error);
            } else {
                const auto deadline = std::chrono::steady_clock::now() + timeout;
                const HANDLE handles[2] = {connected,
                                           reinterpret_cast<HANDLE>(cancel.NativeHandle())};
                const DWORD count = cancel.IsCreated() ? 2 : 1;
                for (;;) {
                    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now());
                    if (left.count() <= 0) {
                        result = SocketError::kTimedOut;
                        break;
                    }
                    const DWORD waited = WaitForMultipleObjects(count, handles, FALSE,
                                                                static_cast<DWORD>(left.count()));
                    if (count == 2 && cancel.IsSet()) {
                        result = SocketError::kInterrupted;
                        break;
                    }
                    if (waited == WAIT_TIMEOUT) {
                        continue;
                    }
                    if (waited != WAIT_OBJECT_0) {
                        result = SocketError::kOther;
                        break;
                    }
                    if (watch.IsShutDown()) {
                        result = SocketError::kConnectionAborted;
                        break;
                    }
                    WSANETWORKEVENTS events{};
                    if (WSAEnumNetworkEvents(handle, connected, &events) != 0) {
                        result = LastSocketError();
                        break;
                    }
                    if ((events.lNetworkEvents & FD_CONNECT) != 0) {
                        result = SocketErrorOfCode(events.iErrorCode[FD_CONNECT_BIT]);
                        break;
                    }
                }
            }
        }
        WSAEventSelect(handle, nullptr, 0);
    }
    WSACloseEvent(connected);
    // Back to blocking mode for Send().
    if (result == SocketError::kNone && !SetBlocking(handle, true)) {
        result = LastSocketError();
    }
    return result;
}

SocketError CSocket::Bind(std::uint32_t dwAddr, std::uint16_t wPort, bool bReuseAddress) {
    if (m_hSocket == -1) {
        return SocketError::kBadSocket;
    }
    // Windows lets a listener take a port whose earlier connections still linger without any
    // option; its SO_REUSEADDR would instead let another program take the port from us, so
    // `bReuseAddress` needs nothing here.
    static_cast<void>(bReuseAddress);
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    if (bind(SocketOf(m_hSocket), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
        0) {
        return LastSocketError();
    }
    return SocketError::kNone;
}

SocketError CSocket::Listen() {
    if (m_hSocket == -1) {
        return SocketError::kBadSocket;
    }
    // Accept never waits: the owner waits with WaitReadable, which a stop can end. SOMAXCONN
    // lets the system choose its longest queue of waiting connections: a peer refused for want
    // of room waits long before it tries again.
    const SOCKET handle = SocketOf(m_hSocket);
    if (!SetBlocking(handle, false) || listen(handle, SOMAXCONN) != 0) {
        return LastSocketError();
    }
    return SocketError::kNone;
}

SocketError CSocket::AcceptWaiting(CSocket& peer, std::uint32_t& dwPeerAddr,
                                   std::uint16_t& wPeerPort) {
    sockaddr_in address{};
    int length = sizeof address;
    const SOCKET accepted =
        accept(SocketOf(m_hSocket), reinterpret_cast<sockaddr*>(&address), &length);
    if (accepted == INVALID_SOCKET) {
        // A connection that was reset while it waited is gone: there is nothing to take.
        const int error = WSAGetLastError();
        return error == WSAEWOULDBLOCK || error == WSAECONNRESET ? SocketError::kWouldBlock
                                                                 : SocketErrorOfCode(error);
    }
    // An accepted socket inherits the listener's non-blocking mode; Send() expects blocking.
    SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
    SetBlocking(accepted, true);
    peer.m_hSocket = static_cast<std::intptr_t>(accepted);
    dwPeerAddr = ntohl(address.sin_addr.s_addr);
    wPeerPort = ntohs(address.sin_port);
    return SocketError::kNone;
}

std::uint16_t CSocket::LocalPort() const {
    sockaddr_in address{};
    int length = sizeof address;
    if (m_hSocket == -1 ||
        getsockname(SocketOf(m_hSocket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

SocketError CSocket::WaitReadable(const CWakeEvent& cancel,
                                  std::chrono::milliseconds timeout) const {
    if (m_hSocket == -1) {
        return SocketError::kBadSocket;
    }
    if (cancel.IsSet()) {
        return SocketError::kInterrupted;
    }
    // Selecting the events signals at once when one is already there (a connection waiting,
    // data, a close). It makes the socket non-blocking: a listener stays so (Accept never
    // waits), a connection goes back to blocking mode for Send().
    const SOCKET handle = SocketOf(m_hSocket);
    const WSAEVENT readable = WSACreateEvent();
    if (readable == WSA_INVALID_EVENT) {
        return LastSocketError();
    }
    SocketError result = SocketError::kNone;
    if (WSAEventSelect(handle, readable, FD_ACCEPT | FD_READ | FD_CLOSE) != 0) {
        result = LastSocketError();
    } else {
        const HANDLE handles[2] = {readable, reinterpret_cast<HANDLE>(cancel.NativeHandle())};
        const DWORD count = cancel.IsCreated() ? 2 : 1;
        const DWORD waitMs =
            timeout.count() < 0
                ? INFINITE
                : static_cast<DWORD>(std::min<long long>(timeout.count(), INFINITE - 1));
        const DWORD waited = WaitForMultipleObjects(count, handles, FALSE, waitMs);
        if (count == 2 && cancel.IsSet()) {
            result = SocketError::kInterrupted;
        } else if (waited == WAIT_TIMEOUT) {
            result = SocketError::kTimedOut;
        } else if (waited != WAIT_OBJECT_0) {
            result = SocketError::kOther;
        }
        WSAEventSelect(handle, nullptr, 0);
        BOOL listening = FALSE;
        int length = sizeof listening;
        if (getsockopt(handle, SOL_SOCKET, SO_ACCEPTCONN, reinterpret_cast<char*>(&listening),
                       &length) != 0 ||
            !listening) {
            SetBlocking(handle, true);
        }
    }
    WSACloseEvent(readable);
    return result;
}

bool CSocket::DiscardIncoming() {
    if (m_hSocket == -1) {
        return false;
    }
    const SOCKET handle = SocketOf(m_hSocket);
    char buffer[4096];
    for (;;) {
        // Windows has no receive that is non-blocking for one call: ask first, then take what
        // is there (a blocking receive returns at once when something is).
        WSAPOLLFD item{};
        item.fd = handle;
        item.events = POLLRDNORM;
        const int ready = WSAPoll(&item, 1, 0);
        if (ready == 0) {
            return true;
        }
        if (ready < 0 || (item.revents & (POLLERR | POLLNVAL)) != 0) {
            return false;
        }
        if (recv(handle, buffer, sizeof buffer, 0) <= 0) {
            return false;  // the peer closed or reset its side
        }
    }
}

SocketError CSocket::SetNoDelay() {
    if (m_hSocket == -1) {
        return SocketError::kBadSocket;
    }
    const BOOL on = TRUE;
    return setsockopt(SocketOf(m_hSocket), IPPROTO_TCP, TCP_NODELAY,
                      reinterpret_cast<const char*>(&on), sizeof on) == 0
               ? SocketError::kNone
               : LastSocketError();
}

SocketError CSocket::EnableBroadcast() {
    if (m_hSocket == -1) {
        return SocketError::kBadSocket;
    }
    const BOOL on = TRUE;
    return setsockopt(SocketOf(m_hSocket), SOL_SOCKET, SO_BROADCAST,
                      reinterpret_cast<const char*>(&on), sizeof on) == 0
               ? SocketError::kNone
               : LastSocketError();
}

SocketError CSocket::SetMulticastSending(int nTtl, std::uint32_t dwInterfaceAddr) {
    if (m_hSocket == -1) {
        return SocketError::kBadSocket;
    }
    const SOCKET handle = SocketOf(m_hSocket);
    const DWORD ttl = static_cast<DWORD>(std::clamp(nTtl, 0, 255));
    const DWORD loop = 1;
    in_addr outgoing{};
    outgoing.s_addr = htonl(dwInterfaceAddr);
    if (setsockopt(handle, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl),
                   sizeof ttl) != 0 ||
        setsockopt(handle, IPPROTO_IP, IP_MULTICAST_LOOP, reinterpret_cast<const char*>(&loop),
                   sizeof loop) != 0 ||
        setsockopt(handle, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&outgoing),
                   sizeof outgoing) != 0) {
        return LastSocketError();
    }
    return SocketError::kNone;
}

std::int64_t CSocket::Send(const void* pData, std::size_t nLen, int nFlags, SocketError* pError) {
    const SOCKET handle = SocketOf(m_hSocket);
    const WSAEVENT done = SendEvent();
    if (done == WSA_INVALID_EVENT) {
        SetError(pError, SocketError::kNoBuffers);
        return -1;
    }
    WSAResetEvent(done);  // an earlier send that completed at once left it set
    WSAOVERLAPPED operation{};
    operation.hEvent = done;
    WSABUF buffer{static_cast<ULONG>(Length(nLen)),
                  const_cast<char*>(static_cast<const char*>(pData))};
    DWORD sent = 0;
    if (WSASend(handle, &buffer, 1, &sent, static_cast<DWORD>(nFlags), &operation, nullptr) == 0) {
        SetError(pError, SocketError::kNone);
        return static_cast<std::int64_t>(sent);
    }
    if (const int error = WSAGetLastError(); error != WSA_IO_PENDING) {
        SetError(pError, SocketErrorOfCode(error));
        return -1;
    }
    // No room: wait for it, or for a Shutdown() from another thread, which cancels the send.
    const HANDLE wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    {
        const CSocketWait wait(handle, wake);
        const HANDLE handles[2] = {done, wake};
        if (wake == nullptr || wait.IsShutDown() ||
            WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIoEx(reinterpret_cast<HANDLE>(handle), &operation);
        }
    }
    DWORD flags = 0;
    const BOOL completed = WSAGetOverlappedResult(handle, &operation, &sent, TRUE, &flags);
    const int error = completed ? 0 : WSAGetLastError();
    if (wake != nullptr) {
        CloseHandle(wake);
    }
    if (!completed) {
        SetError(pError, error == WSA_OPERATION_ABORTED ? SocketError::kShutDown
                                                        : SocketErrorOfCode(error));
        return -1;
    }
    SetError(pError, SocketError::kNone);
    return static_cast<std::int64_t>(sent);
}

std::int64_t CSocket::SendTo(const void* pData, std::size_t nLen, std::uint32_t dwAddr,
                             std::uint16_t wPort, SocketError* pError) {
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    const int sent = sendto(SocketOf(m_hSocket), static_cast<const char*>(pData), Length(nLen), 0,
                            reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (sent == SOCKET_ERROR) {
        SetError(pError, LastSocketError());
        return -1;
    }
    SetError(pError, SocketError::kNone);
    return sent;
}

std::int64_t CSocket::Receive(void* pBuffer, std::size_t nCapacity, SocketError* pError,
                              std::uint32_t* pdwDropped) {
    static_cast<void>(pdwDropped);  // no count of drops is kept per socket here
    const int capacity = Length(nCapacity);
    const int count = recv(SocketOf(m_hSocket), static_cast<char*>(pBuffer), capacity, 0);
    if (count != SOCKET_ERROR) {
        SetError(pError, SocketError::kNone);
        return count;
    }
    const int error = WSAGetLastError();
    if (error == WSAEMSGSIZE) {
        SetError(pError, SocketError::kNone);
        return capacity;  // a datagram longer than the buffer: its start, as on Linux
    }
    SetError(pError, SocketErrorOfCode(error));
    return -1;
}

SocketError CSocket::SharePort() {
    if (m_hSocket == -1) {
        return SocketError::kBadSocket;
    }
    // For datagram sockets this is what SO_REUSEADDR does on Windows.
    const BOOL on = TRUE;
    return setsockopt(SocketOf(m_hSocket), SOL_SOCKET, SO_REUSEADDR,
                      reinterpret_cast<const char*>(&on), sizeof on) == 0
               ? SocketError::kNone
               : LastSocketError();
}

SocketError CSocket::JoinMulticastGroup(std::uint32_t dwGroup, std::uint32_t dwInterfaceAddr) {
    if (m_hSocket == -1) {
        return SocketError::kBadSocket;
    }
    ip_mreq membership{};
    membership.imr_multiaddr.s_addr = htonl(dwGroup);
    membership.imr_interface.s_addr = htonl(dwInterfaceAddr);
    return setsockopt(SocketOf(m_hSocket), IPPROTO_IP, IP_ADD_MEMBERSHIP,
                      reinterpret_cast<const char*>(&membership), sizeof membership) == 0
               ? SocketError::kNone
               : LastSocketError();
}

SocketError CSocket::SetReceiveBufferSize(int nBytes) {
    if (m_hSocket == -1) {
        return SocketError::kBadSocket;
    }
    return setsockopt(SocketOf(m_hSocket), SOL_SOCKET, SO_RCVBUF,
                      reinterpret_cast<const char*>(&nBytes), sizeof nBytes) == 0
               ? SocketError::kNone
               : LastSocketError();
}

bool CSocket::CountDroppedDatagrams() {
    // Windows keeps no count of the datagrams one socket dropped; a guess would mislead.
    return false;
}

std::optional<std::uint64_t> CSocket::DroppedDatagrams() const {
    return std::nullopt;
}

void CSocket::Shutdown() noexcept {
    if (m_hSocket != -1) {
        {
            std::lock_guard lock(g_waitMutex);
            g_shutDown.insert(SocketOf(m_hSocket));
            if (const auto found = g_waits.find(SocketOf(m_hSocket)); found != g_waits.end()) {
                SetEvent(found->second->wake);
            }
        }
        shutdown(SocketOf(m_hSocket), SD_BOTH);
    }
}

void CSocket::Close() noexcept {
    if (m_hSocket != -1) {
        {
            std::lock_guard lock(g_waitMutex);
            g_shutDown.erase(SocketOf(m_hSocket));
        }
        closesocket(SocketOf(m_hSocket));
        m_hSocket = -1;
    }
}
