#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sock_diag.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/Socket.h"
#include "platform/SocketAddress.h"
#include "platform/SystemError.h"

namespace {

// What the last failing call of this thread says, as the program's socket code.
SocketError LastSocketError() {
    return SocketErrorOf(LastSystemError());
}

bool SetBlocking(int hSocket, bool bBlocking) {
    const int flags = ::fcntl(hSocket, F_GETFL);
    if (flags < 0) {
        return false;
    }
    const int wanted = bBlocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return wanted == flags || ::fcntl(hSocket, F_SETFL, wanted) == 0;
}

// Runs a send or a receive again while a signal interrupts it: the count, or -1 with `error`.
template <typename Call>
std::int64_t UntilNotInterrupted(Call call, SocketError& error) {
    for (;;) {
        const ssize_t count = call();
        if (count >= 0) {
            error = SocketError::kNone;
            return static_cast<std::int64_t>(count);
        }
        if (errno != EINTR) {
            error = LastSocketError();
            return -1;
        }
    }
}

using Clock = std::chrono::steady_clock;

// Waits until the socket shows one of `events`, `cancel` is (or already was) set, or `deadline`
// has passed (none: no limit). kNone with what the socket showed in `revents`, kInterrupted,
// kTimedOut, or the failure of the wait. A signal arriving meanwhile does not end it.
SocketError WaitForSocket(int hSocket, short events, const CWakeEvent& cancel,
                          std::optional<Clock::time_point> deadline, short& revents) {
    for (;;) {
        int nWaitMs = -1;
        if (deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            nWaitMs = static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
        }
        pollfd items[2] = {{hSocket, events, 0},
                           {static_cast<int>(cancel.NativeHandle()), POLLIN, 0}};
        const int count = cancel.IsCreated() ? 2 : 1;
        const int ready = ::poll(items, count, nWaitMs);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastSocketError();
        }
        if (count == 2 && (items[1].revents & POLLIN) != 0) {
            return SocketError::kInterrupted;
        }
        if (items[0].revents != 0) {
            revents = items[0].revents;
            return SocketError::kNone;
        }
        if (ready == 0) {
            return SocketError::kTimedOut;
        }
    }
}

}  // namespace

bool ResolveIPv4Host(const std::string& host, std::uint32_t& dwAddr, std::string& errorText) {
    int status = 0;
    if (LookUpIPv4Host(host, dwAddr, status)) {
        return true;
    }
    errorText = status == EAI_SYSTEM ? SystemErrorText(LastSystemError()) : ::gai_strerror(status);
    return false;
}

bool AcquireSocketLibrary() {
    return true;
}

void ReleaseSocketLibrary() {}

// --- CSocket --------------------------------------------------------------------------------

CSocket CSocket::OpenStream(SocketError* pError) {
    const int hSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    SetError(pError, hSocket < 0 ? LastSocketError() : SocketError::kNone);
    return CSocket(hSocket < 0 ? -1 : hSocket);
}

CSocket CSocket::OpenDatagram(SocketError* pError) {
    const int hSocket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    SetError(pError, hSocket < 0 ? LastSocketError() : SocketError::kNone);
    return CSocket(hSocket < 0 ? -1 : hSocket);
}

SocketError CSocket::Connect(std::uint32_t dwAddr, std::uint16_t wPort,
                             std::chrono::milliseconds timeout, const CWakeEvent& cancel) {
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    if (cancel.IsSet()) {
        return SocketError::kInterrupted;
    }
    // A blocking connect would wait for the system's own limit (minutes) with no way to end it,
    // so connect without blocking and wait for the socket, the time limit or the cancel event.
    if (!SetBlocking(m_hSocket, false)) {
        return LastSocketError();
    }
    const int hSocket = static_cast<int>(m_hSocket);
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    if (::connect(hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            return LastSocketError();
        }
        short revents = 0;
        const SocketError waited =
            WaitForSocket(hSocket, POLLOUT, cancel, Clock::now() + timeout, revents);
        if (waited != SocketError::kNone) {
            return waited;
        }
        int nError = 0;
        socklen_t length = sizeof nError;
        if (::getsockopt(hSocket, SOL_SOCKET, SO_ERROR, &nError, &length) != 0) {
            return LastSocketError();
        }
        if (nError != 0) {
            return SocketErrorOf(SystemErrorFromCode(static_cast<std::uint32_t>(nError)));
        }
        if ((revents & POLLOUT) == 0) {
            // Hung up without a connection and without an error: another thread shut the
            // socket down meanwhile.
            return SocketError::kConnectionAborted;
        }
    }
    if (!SetBlocking(m_hSocket, true)) {
        return LastSocketError();
    }
    return SocketError::kNone;
}

std::int64_t CSocket::Send(const void* pData, std::size_t nLen, int nFlags, SocketError* pError) {
    SocketError error = SocketError::kNone;
    const std::int64_t sent = UntilNotInterrupted(
        [&] { return ::send(m_hSocket, pData, nLen, nFlags | MSG_NOSIGNAL); }, error);
    SetError(pError, error);
    return sent;
}

std::int64_t CSocket::SendTo(const void* pData, std::size_t nLen, std::uint32_t dwAddr,
                             std::uint16_t wPort, SocketError* pError) {
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    SocketError error = SocketError::kNone;
    const std::int64_t sent = UntilNotInterrupted(
        [&] {
            return ::sendto(m_hSocket, pData, nLen, MSG_NOSIGNAL,
                            reinterpret_cast<const sockaddr*>(&address), sizeof address);
        },
        error);
    SetError(pError, error);
    return sent;
}

SocketError CSocket::Bind(std::uint32_t dwAddr, std::uint16_t wPort, bool bReuseAddress) {
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    const int on = 1;
    if (bReuseAddress && ::setsockopt(m_hSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        return LastSocketError();
    }
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    if (::bind(m_hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return LastSocketError();
    }
    return SocketError::kNone;
}

SocketError CSocket::Listen() {
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    // Accept never waits: the owner waits with WaitReadable, which a stop can end. The queue of
    // waiting connections is the longest allowed (Linux caps SOMAXCONN at net.core.somaxconn):
    // a peer whose connection request finds it full waits a second before it tries again.
    if (!SetBlocking(m_hSocket, false) || ::listen(m_hSocket, SOMAXCONN) != 0) {
        return LastSocketError();
    }
    return SocketError::kNone;
}

SocketError CSocket::AcceptWaiting(CSocket& peer, std::uint32_t& dwPeerAddr,
                                   std::uint16_t& wPeerPort) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    int hPeer = -1;
    do {
        // A connection taken from a non-blocking listener is in blocking mode, as Send() expects.
        hPeer = ::accept4(m_hSocket, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
    } while (hPeer < 0 && errno == EINTR);
    if (hPeer < 0) {
        // A connection that was reset while it waited is gone: there is nothing to take.
        return errno == EWOULDBLOCK || errno == ECONNABORTED ? SocketError::kWouldBlock
                                                             : LastSocketError();
    }
    peer.m_hSocket = hPeer;
    dwPeerAddr = ntohl(address.sin_addr.s_addr);
    wPeerPort = ntohs(address.sin_port);
    return SocketError::kNone;
}

std::uint16_t CSocket::LocalPort() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (m_hSocket < 0 ||
        ::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

SocketError CSocket::WaitReadable(const CWakeEvent& cancel,
                                  std::chrono::milliseconds timeout) const {
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    std::optional<Clock::time_point> deadline;
    if (timeout.count() >= 0) {
        deadline = Clock::now() + timeout;
    }
    short revents = 0;
    const SocketError waited =
        WaitForSocket(static_cast<int>(m_hSocket), POLLIN, cancel, deadline, revents);
    if (waited == SocketError::kNone && (revents & POLLNVAL) != 0) {
        return SocketError::kBadSocket;
    }
    return waited;
}

bool CSocket::DiscardIncoming() {
    if (m_hSocket < 0) {
        return false;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::recv(m_hSocket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (count > 0) {
            continue;
        }
        if (count == 0) {
            return false;  // the peer closed its side
        }
        if (errno == EINTR) {
            continue;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

SocketError CSocket::SetNoDelay() {
    const int on = 1;
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    return ::setsockopt(m_hSocket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0
               ? SocketError::kNone
               : LastSocketError();
}

SocketError CSocket::EnableBroadcast() {
    const int on = 1;
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    return ::setsockopt(m_hSocket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0
               ? SocketError::kNone
               : LastSocketError();
}

SocketError CSocket::SetMulticastSending(int nTtl, std::uint32_t dwInterfaceAddr) {
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    const unsigned char ttl = static_cast<unsigned char>(std::clamp(nTtl, 0, 255));
    const unsigned char loop = 1;
    in_addr outgoing{};
    outgoing.s_addr = htonl(dwInterfaceAddr);
    if (::setsockopt(m_hSocket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0 ||
        ::setsockopt(m_hSocket, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0 ||
        ::setsockopt(m_hSocket, IPPROTO_IP, IP_MULTICAST_IF, &outgoing, sizeof outgoing) != 0) {
        return LastSocketError();
    }
    return SocketError::kNone;
}

std::int64_t CSocket::Receive(void* pBuffer, std::size_t nCapacity, SocketError* pError,
                              std::uint32_t* pdwDropped) {
    const int hSocket = static_cast<int>(m_hSocket);
    SocketError error = SocketError::kNone;
    std::int64_t count = 0;
    if (pdwDropped == nullptr) {
        count = UntilNotInterrupted([&] { return ::recv(hSocket, pBuffer, nCapacity, 0); }, error);
    } else {
        // The count of drops comes along with the datagram, as a control message.
        iovec part{pBuffer, nCapacity};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        count = UntilNotInterrupted([&] { return ::recvmsg(hSocket, &message, 0); }, error);
        for (cmsghdr* header = count >= 0 ? CMSG_FIRSTHDR(&message) : nullptr; header != nullptr;
             header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SO_RXQ_OVFL) {
                std::memcpy(pdwDropped, CMSG_DATA(header), sizeof *pdwDropped);
            }
        }
    }
    SetError(pError, error);
    return count;
}

SocketError CSocket::SharePort() {
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    const int on = 1;
    return ::setsockopt(m_hSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0
               ? SocketError::kNone
               : LastSocketError();
}

SocketError CSocket::JoinMulticastGroup(std::uint32_t dwGroup, std::uint32_t dwInterfaceAddr) {
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    ip_mreq membership{};
    membership.imr_multiaddr.s_addr = htonl(dwGroup);
    membership.imr_interface.s_addr = htonl(dwInterfaceAddr);
    return ::setsockopt(m_hSocket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) ==
                   0
               ? SocketError::kNone
               : LastSocketError();
}

SocketError CSocket::SetReceiveBufferSize(int nBytes) {
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    return ::setsockopt(m_hSocket, SOL_SOCKET, SO_RCVBUF, &nBytes, sizeof nBytes) == 0
               ? SocketError::kNone
               : LastSocketError();
}

bool CSocket::CountDroppedDatagrams() {
    const int on = 1;
    return m_hSocket >= 0 && ::setsockopt(m_hSocket, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on) == 0;
}

std::optional<std::uint64_t> CSocket::DroppedDatagrams() const {
    // The count the socket keeps now, which the system gives out since Linux 4.6.
    std::uint32_t info[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof info;
    if (m_hSocket >= 0 && ::getsockopt(m_hSocket, SOL_SOCKET, SO_MEMINFO, info, &length) == 0 &&
        length > SK_MEMINFO_DROPS * sizeof info[0]) {
        return info[SK_MEMINFO_DROPS];
    }
    return std::nullopt;
}

void CSocket::Shutdown() noexcept {
    if (m_hSocket >= 0) {
        ::shutdown(m_hSocket, SHUT_RDWR);
    }
}

void CSocket::Close() noexcept {
    if (m_hSocket >= 0) {
        ::close(m_hSocket);
        m_hSocket = -1;
    }
}
