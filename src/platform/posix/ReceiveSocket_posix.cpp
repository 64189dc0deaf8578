#include "platform/ReceiveSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sock_diag.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/Trace.h"

namespace {
// The one place where this back end turns a system error into what the program reports.
std::string ReceiveErrorText(int error) {
    return std::strerror(error);
}

// Asks the system to tell its count of dropped datagrams with every datagram read.
bool CountDrops(int fd) {
    const int on = 1;
    return ::setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on) == 0;
}

sockaddr_in MakeAddress(std::uint32_t dwAddr, std::uint16_t wPort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(dwAddr);
    address.sin_port = htons(wPort);
    return address;
}
}  // namespace

bool ResolveIPv4Host(const std::string& host, std::uint32_t& dwAddr, std::string& errorText) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
        dwAddr = ntohl(parsed.s_addr);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (status != 0 || result == nullptr) {
        errorText = status == EAI_SYSTEM ? ReceiveErrorText(errno) : ::gai_strerror(status);
        return false;
    }
    dwAddr = ntohl(reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(result);
    return true;
}

CReceiveSocket::~CReceiveSocket() {
    Close();
}

CReceiveSocket::CReceiveSocket(CReceiveSocket&& other) noexcept
    : m_hSocket(std::exchange(other.m_hSocket, -1)),
      m_strLastError(std::move(other.m_strLastError)),
      m_bCountsDrops(std::exchange(other.m_bCountsDrops, false)),
      m_dwDropsSeen(std::exchange(other.m_dwDropsSeen, 0)) {}

CReceiveSocket& CReceiveSocket::operator=(CReceiveSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_hSocket = std::exchange(other.m_hSocket, -1);
        m_strLastError = std::move(other.m_strLastError);
        m_bCountsDrops = std::exchange(other.m_bCountsDrops, false);
        m_dwDropsSeen = std::exchange(other.m_dwDropsSeen, 0);
    }
    return *this;
}

bool CReceiveSocket::ListenTcp(std::uint32_t dwAddr, std::uint16_t wPort) {
    Close();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_strLastError = ReceiveErrorText(errno);
        return false;
    }
    // A receiver restarted at once must get its port back although old connections linger.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // The longest queue of waiting connections the system allows (Linux caps SOMAXCONN at
    // net.core.somaxconn): a burst of short connections must not find it full, since a peer
    // whose connection request is dropped waits a second before it tries again.
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        m_strLastError = ReceiveErrorText(errno);
        ::close(fd);
        return false;
    }
    m_hSocket = fd;
    return true;
}

bool CReceiveSocket::BindUdp(std::uint32_t dwAddr, std::uint16_t wPort) {
    Close();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_strLastError = ReceiveErrorText(errno);
        return false;
    }
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        m_strLastError = ReceiveErrorText(errno);
        ::close(fd);
        return false;
    }
    // Bursts of datagrams sent with no delay must not be dropped while a line is printed.
    const int size = 4 * 1024 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    m_hSocket = fd;
    m_bCountsDrops = CountDrops(fd);
    return true;
}

bool CReceiveSocket::JoinUdpGroup(std::uint32_t dwGroup, std::uint16_t wPort,
                                  std::uint32_t dwInterface) {
    Close();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_strLastError = ReceiveErrorText(errno);
        return false;
    }
    // Several receivers of one group on one machine (a device and a test of it) share the port.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = MakeAddress(0, wPort);
    ip_mreq membership{};
    membership.imr_multiaddr.s_addr = htonl(dwGroup);
    membership.imr_interface.s_addr = htonl(dwInterface);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
        m_strLastError = ReceiveErrorText(errno);
        ::close(fd);
        return false;
    }
    const int size = 4 * 1024 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    m_hSocket = fd;
    m_bCountsDrops = CountDrops(fd);
    return true;
}

CReceiveSocket::ConnectResult CReceiveSocket::ConnectTcp(std::uint32_t dwAddr, std::uint16_t wPort,
                                                         int timeoutMs, std::intptr_t hCancel) {
    Close();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        m_strLastError = ReceiveErrorText(errno);
        return ConnectResult::kFailed;
    }
    const sockaddr_in address = MakeAddress(dwAddr, wPort);
    int error = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
    }
    if (error == EINPROGRESS || error == EINTR) {
        pollfd entries[2] = {{fd, POLLOUT, 0}, {static_cast<int>(hCancel), POLLIN, 0}};
        const nfds_t count = hCancel >= 0 ? 2 : 1;
        int ready = 0;
        do {
            ready = ::poll(entries, count, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (count == 2 && (entries[1].revents & POLLIN) != 0) {
            ::close(fd);
            return ConnectResult::kCancelled;
        }
        socklen_t length = sizeof error;
        if (ready == 0) {
            error = ETIMEDOUT;
        } else if (ready < 0) {
            error = errno;
        } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            error = errno;
        }
    }
    if (error != 0) {
        m_strLastError = ReceiveErrorText(error);
        ::close(fd);
        return ConnectResult::kFailed;
    }
    // Reads wait in WaitReadable; the socket itself may block like an accepted one.
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    m_hSocket = fd;
    return ConnectResult::kConnected;
}

std::uint16_t CReceiveSocket::LocalPort() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (m_hSocket < 0 ||
        ::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

CReceiveSocket::WaitResult CReceiveSocket::WaitReadable(std::intptr_t hCancel) const {
    if (m_hSocket < 0) {
        return WaitResult::kFailed;
    }
    pollfd entries[2] = {{static_cast<int>(m_hSocket), POLLIN, 0},
                         {static_cast<int>(hCancel), POLLIN, 0}};
    const nfds_t count = hCancel >= 0 ? 2 : 1;
    for (;;) {
        const int ready = ::poll(entries, count, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return WaitResult::kFailed;
        }
        if (count == 2 && (entries[1].revents & POLLIN) != 0) {
            return WaitResult::kCancelled;
        }
        if (entries[0].revents != 0) {
            return (entries[0].revents & POLLNVAL) != 0 ? WaitResult::kFailed : WaitResult::kReady;
        }
    }
}

bool CReceiveSocket::Accept(CReceiveSocket& connection, std::string& peerText) {
    connection.Close();
    sockaddr_in address{};
    socklen_t length = sizeof address;
    int fd = -1;
    do {
        fd = ::accept4(m_hSocket, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_strLastError = ReceiveErrorText(errno);
        return false;
    }
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    peerText = std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
    connection.m_hSocket = fd;
    return true;
}

long CReceiveSocket::Receive(void* pBuffer, std::size_t nCapacity) {
    for (;;) {
        ssize_t count = 0;
        if (m_bCountsDrops) {
            iovec part{pBuffer, nCapacity};
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
            msghdr message{};
            message.msg_iov = &part;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            count = ::recvmsg(static_cast<int>(m_hSocket), &message, 0);
            for (cmsghdr* header = count >= 0 ? CMSG_FIRSTHDR(&message) : nullptr;
                 header != nullptr; header = CMSG_NXTHDR(&message, header)) {
                if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SO_RXQ_OVFL) {
                    // The socket's count of drops as it stood when this datagram was queued.
                    std::memcpy(&m_dwDropsSeen, CMSG_DATA(header), sizeof m_dwDropsSeen);
                }
            }
        } else {
            count = ::recv(static_cast<int>(m_hSocket), pBuffer, nCapacity, 0);
        }
        if (count >= 0) {
            return static_cast<long>(count);
        }
        if (errno == EINTR) {
            continue;
        }
        m_strLastError = ReceiveErrorText(errno);
        // A reset by the peer ends the connection like a close; the caller sees -1.
        return -1;
    }
}

std::optional<std::uint64_t> CReceiveSocket::DroppedDatagrams() const {
    if (!m_bCountsDrops) {
        return std::nullopt;
    }
    // A datagram tells the count as it stood when it was queued, so drops after the last one
    // read (a burst that overran the buffer and then stopped) show only in the count the
    // socket keeps now, which the system gives out since Linux 4.6.
    std::uint32_t info[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof info;
    if (::getsockopt(static_cast<int>(m_hSocket), SOL_SOCKET, SO_MEMINFO, info, &length) == 0 &&
        length > SK_MEMINFO_DROPS * sizeof info[0]) {
        return std::max(info[SK_MEMINFO_DROPS], m_dwDropsSeen);
    }
    return m_dwDropsSeen;
}

void CReceiveSocket::Close() noexcept {
    if (m_hSocket >= 0) {
        ::close(static_cast<int>(m_hSocket));
        m_hSocket = -1;
    }
    m_bCountsDrops = false;
    m_dwDropsSeen = 0;
}
