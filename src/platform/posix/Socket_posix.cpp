#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Socket.h"

namespace {

// The one place where a system error number becomes the program's own code.
SocketError SocketErrorFromErrno(int nErrno) {
    switch (nErrno) {
        case 0:
            return SocketError::kNone;
        case EINTR:
        case ECANCELED:
            return SocketError::kInterrupted;
        case EAGAIN:
            return SocketError::kWouldBlock;
        case EBADF:
        case ENOTSOCK:
            return SocketError::kBadSocket;
        case EACCES:
        case EPERM:
            return SocketError::kAccessDenied;
        case EINVAL:
        case EFAULT:
            return SocketError::kInvalidArgument;
        case EMFILE:
        case ENFILE:
            return SocketError::kTooManySockets;
        case EMSGSIZE:
            return SocketError::kMessageTooLong;
        case EAFNOSUPPORT:
        case EPROTONOSUPPORT:
            return SocketError::kAddressFamily;
        case EADDRINUSE:
            return SocketError::kAddressInUse;
        case EADDRNOTAVAIL:
            return SocketError::kAddressNotAvailable;
        case ENETDOWN:
            return SocketError::kNetworkDown;
        case ENETUNREACH:
            return SocketError::kNetworkUnreachable;
        case ECONNABORTED:
            return SocketError::kConnectionAborted;
        case ECONNRESET:
            return SocketError::kConnectionReset;
        case ENOBUFS:
        case ENOMEM:
            return SocketError::kNoBuffers;
        case ENOTCONN:
            return SocketError::kNotConnected;
        case EPIPE:
            return SocketError::kShutDown;
        case ETIMEDOUT:
            return SocketError::kTimedOut;
        case ECONNREFUSED:
            return SocketError::kConnectionRefused;
        case EHOSTUNREACH:
        case EHOSTDOWN:
            return SocketError::kHostUnreachable;
        default:
            return SocketError::kOther;
    }
}

void SetError(SocketError* pError, SocketError error) {
    if (pError != nullptr) {
        *pError = error;
    }
}

sockaddr_in MakeAddress(std::uint32_t dwAddr, std::uint16_t wPort) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(dwAddr);
    address.sin_port = htons(wPort);
    return address;
}

bool SetBlocking(int hSocket, bool bBlocking) {
    const int flags = ::fcntl(hSocket, F_GETFL);
    if (flags < 0) {
        return false;
    }
    const int wanted = bBlocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return wanted == flags || ::fcntl(hSocket, F_SETFL, wanted) == 0;
}

}  // namespace

bool AcquireSocketLibrary() {
    return true;
}

void ReleaseSocketLibrary() {}

// --- CSocket --------------------------------------------------------------------------------

CSocket::~CSocket() {
    Close();
}

CSocket::CSocket(CSocket&& other) noexcept : m_hSocket(other.m_hSocket) {
    other.m_hSocket = -1;
}

CSocket& CSocket::operator=(CSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_hSocket = other.m_hSocket;
        other.m_hSocket = -1;
    }
    return *this;
}

CSocket CSocket::OpenStream(SocketError* pError) {
    const int hSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    SetError(pError, hSocket < 0 ? SocketErrorFromErrno(errno) : SocketError::kNone);
    return CSocket(hSocket < 0 ? -1 : hSocket);
}

CSocket CSocket::OpenDatagram(SocketError* pError) {
    const int hSocket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    SetError(pError, hSocket < 0 ? SocketErrorFromErrno(errno) : SocketError::kNone);
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
        return SocketErrorFromErrno(errno);
    }
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    if (::connect(m_hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            return SocketErrorFromErrno(errno);
        }
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return SocketError::kTimedOut;
            }
            pollfd items[2] = {{static_cast<int>(m_hSocket), POLLOUT, 0},
                               {static_cast<int>(cancel.NativeHandle()), POLLIN, 0}};
            const int count = cancel.IsCreated() ? 2 : 1;
            const int ready = ::poll(items, count, static_cast<int>(left.count()));
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return SocketErrorFromErrno(errno);
            }
            if (count == 2 && (items[1].revents & POLLIN) != 0) {
                return SocketError::kInterrupted;
            }
            if (items[0].revents != 0) {
                if ((items[0].revents & POLLOUT) == 0) {
                    // Hung up or failed without a connection: SO_ERROR may still be 0 when
                    // another thread shut the socket down meanwhile.
                    int nError = 0;
                    socklen_t length = sizeof nError;
                    ::getsockopt(m_hSocket, SOL_SOCKET, SO_ERROR, &nError, &length);
                    return nError != 0 ? SocketErrorFromErrno(nError)
                                       : SocketError::kConnectionAborted;
                }
                break;
            }
        }
        int nError = 0;
        socklen_t length = sizeof nError;
        if (::getsockopt(m_hSocket, SOL_SOCKET, SO_ERROR, &nError, &length) != 0) {
            return SocketErrorFromErrno(errno);
        }
        if (nError != 0) {
            return SocketErrorFromErrno(nError);
        }
    }
    if (!SetBlocking(m_hSocket, true)) {
        return SocketErrorFromErrno(errno);
    }
    return SocketError::kNone;
}

std::int64_t CSocket::Send(const void* pData, std::size_t nLen, int nFlags, SocketError* pError) {
    for (;;) {
        const ssize_t sent = ::send(m_hSocket, pData, nLen, nFlags | MSG_NOSIGNAL);
        if (sent >= 0) {
            SetError(pError, SocketError::kNone);
            return static_cast<std::int64_t>(sent);
        }
        if (errno != EINTR) {
            SetError(pError, SocketErrorFromErrno(errno));
            return -1;
        }
    }
}

std::int64_t CSocket::SendTo(const void* pData, std::size_t nLen, std::uint32_t dwAddr,
                             std::uint16_t wPort, SocketError* pError) {
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    for (;;) {
        const ssize_t sent = ::sendto(m_hSocket, pData, nLen, MSG_NOSIGNAL,
                                      reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (sent >= 0) {
            SetError(pError, SocketError::kNone);
            return static_cast<std::int64_t>(sent);
        }
        if (errno != EINTR) {
            SetError(pError, SocketErrorFromErrno(errno));
            return -1;
        }
    }
}

SocketError CSocket::Bind(std::uint32_t dwAddr, std::uint16_t wPort, bool bReuseAddress) {
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    const int on = 1;
    if (bReuseAddress && ::setsockopt(m_hSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        return SocketErrorFromErrno(errno);
    }
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    if (::bind(m_hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return SocketErrorFromErrno(errno);
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
        return SocketErrorFromErrno(errno);
    }
    return SocketError::kNone;
}

SocketError CSocket::Accept(CSocket& peer, std::uint32_t* pdwPeerAddr, std::uint16_t* pwPeerPort) {
    peer.Close();
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
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
                                                             : SocketErrorFromErrno(errno);
    }
    peer.m_hSocket = hPeer;
    if (pdwPeerAddr != nullptr) {
        *pdwPeerAddr = ntohl(address.sin_addr.s_addr);
    }
    if (pwPeerPort != nullptr) {
        *pwPeerPort = ntohs(address.sin_port);
    }
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
    const bool bForever = timeout.count() < 0;
    const auto deadline = std::chrono::steady_clock::now() + (bForever ? timeout.zero() : timeout);
    for (;;) {
        int nWaitMs = -1;
        if (!bForever) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            nWaitMs = static_cast<int>(std::max<long long>(left.count(), 0));
        }
        pollfd items[2] = {{static_cast<int>(m_hSocket), POLLIN, 0},
                           {static_cast<int>(cancel.NativeHandle()), POLLIN, 0}};
        const int count = cancel.IsCreated() ? 2 : 1;
        const int ready = ::poll(items, count, nWaitMs);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SocketErrorFromErrno(errno);
        }
        if (count == 2 && (items[1].revents & POLLIN) != 0) {
            return SocketError::kInterrupted;
        }
        if ((items[0].revents & POLLNVAL) != 0) {
            return SocketError::kBadSocket;
        }
        if (items[0].revents != 0) {
            return SocketError::kNone;
        }
        if (ready == 0) {
            return SocketError::kTimedOut;
        }
    }
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

SocketError CSocket::EnableBroadcast() {
    const int on = 1;
    if (m_hSocket < 0) {
        return SocketError::kBadSocket;
    }
    return ::setsockopt(m_hSocket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0
               ? SocketError::kNone
               : SocketErrorFromErrno(errno);
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
        return SocketErrorFromErrno(errno);
    }
    return SocketError::kNone;
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
