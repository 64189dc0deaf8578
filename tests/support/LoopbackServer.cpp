#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopbackAddress);
    address.sin_port = htons(port);
    return address;
}

// Binds fd to 127.0.0.1 on a port the system chooses and returns that port.
std::uint16_t BindLoopback(int fd) {
    const sockaddr_in address = LoopbackAddress(0);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error(std::string("bind: ") + std::strerror(errno));
    }
    sockaddr_in bound;
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    return ntohs(bound.sin_port);
}

void CloseWithReset(int fd) {
    const linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

// For a listening socket the system reports the accept queue's length and its limit.
bool IsAcceptQueueFull(int listenFd) {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(listenFd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) {
        return false;
    }
    return info.tcpi_unacked > info.tcpi_sacked;
}

void Drain(int eventFd) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(eventFd, &count, sizeof count);
}

void Signal(int eventFd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t put = ::write(eventFd, &one, sizeof one);
}

}  // namespace

// --- LoopbackTcpServer -----------------------------------------------------------------------

LoopbackTcpServer::LoopbackTcpServer(LoopbackTcpOptions options)
    : m_options(options), m_bReading(options.bRead) {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_listenFd < 0 || m_wakeFd < 0) {
        throw std::runtime_error("LoopbackTcpServer: no socket");
    }
    if (m_options.nReceiveBufferSize > 0) {
        // Set on the listener so that accepted sockets start with it (the window is offered
        // during the handshake).
        ::setsockopt(m_listenFd, SOL_SOCKET, SO_RCVBUF, &m_options.nReceiveBufferSize,
                     sizeof m_options.nReceiveBufferSize);
    }
    // Arrival stamps for LineArrivals; accepted sockets inherit the option, and every packet from
    // now on is stamped, including those that arrive before the connection is accepted.
    const int on = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    m_port = BindLoopback(m_listenFd);
    // A backlog of 0 lets the queue be held full with one connection of our own.
    if (::listen(m_listenFd, m_options.acceptAfter.count() > 0 ? 0 : 16) != 0) {
        throw std::runtime_error("LoopbackTcpServer: listen failed");
    }
    if (m_options.acceptAfter.count() > 0) {
        HoldConnects();
    }
    m_thread = std::thread([this] { Run(); });
}

void LoopbackTcpServer::HoldConnects() {
    const sockaddr_in address = LoopbackAddress(m_port);
    for (int attempt = 0; attempt < 8 && !IsAcceptQueueFull(m_listenFd); ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            break;
        }
        m_fillers.push_back(fd);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            pollfd item{fd, POLLOUT, 0};
            ::poll(&item, 1, 5000);  // the handshake completes at once on loopback
        }
    }
    m_bHolding = IsAcceptQueueFull(m_listenFd);
}

void LoopbackTcpServer::ReleaseConnects() {
    // Take the fillers out of the queue (they are the only ones in it: every other connect was
    // left unanswered) and drop them; the next connect attempt then gets through.
    for (std::size_t n = 0; n < m_fillers.size(); ++n) {
        pollfd item{m_listenFd, POLLIN, 0};
        if (::poll(&item, 1, 1000) <= 0) {
            break;
        }
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    for (const int fd : m_fillers) {
        ::close(fd);
    }
    m_fillers.clear();
}

LoopbackTcpServer::~LoopbackTcpServer() {
    m_bStop = true;
    Wake();
    m_thread.join();
    for (const int fd : m_fillers) {
        ::close(fd);
    }
    for (Peer& peer : m_peers) {
        if (peer.fd >= 0) {
            ::close(peer.fd);
        }
    }
    ::close(m_listenFd);
    ::close(m_wakeFd);
}

void LoopbackTcpServer::Wake() {
    Signal(m_wakeFd);
}

void LoopbackTcpServer::Run() {
    if (m_options.acceptAfter.count() > 0) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            m_made + m_options.acceptAfter - std::chrono::steady_clock::now());
        pollfd wake{m_wakeFd, POLLIN, 0};
        if (left.count() > 0 && ::poll(&wake, 1, static_cast<int>(left.count())) > 0) {
            return;  // stopped while still holding
        }
        ReleaseConnects();
    }
    std::vector<char> buffer(m_options.nReadChunk);
    while (!m_bStop) {
        std::vector<pollfd> items = {{m_wakeFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}};
        std::vector<std::size_t> owners;
        {
            std::lock_guard lock(m_mutex);
            for (std::size_t i = 0; i < m_peers.size(); ++i) {
                if (m_peers[i].fd >= 0 && m_bReading) {
                    items.push_back({m_peers[i].fd, POLLIN, 0});
                    owners.push_back(i);
                }
            }
        }
        if (::poll(items.data(), items.size(), -1) < 0) {
            continue;
        }
        if (items[0].revents != 0) {
            Drain(m_wakeFd);
            if (m_bResetRequested) {
                std::lock_guard lock(m_mutex);
                for (Peer& peer : m_peers) {
                    if (peer.fd >= 0) {
                        CloseWithReset(peer.fd);
                        peer.fd = -1;
                    }
                }
                m_bResetRequested = false;
                m_changed.notify_all();
            }
            continue;  // the set of descriptors to watch may have changed
        }
        if (items[1].revents != 0) {
            const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                Peer peer;
                if (m_options.bResetOnAccept) {
                    CloseWithReset(fd);
                } else {
                    peer.fd = fd;
                }
                std::lock_guard lock(m_mutex);
                m_peers.push_back(std::move(peer));
                m_changed.notify_all();
            }
        }
        bool bRead = false;
        for (std::size_t k = 2; k < items.size(); ++k) {
            if (items[k].revents == 0) {
                continue;
            }
            iovec data{buffer.data(), buffer.size()};
            alignas(cmsghdr) char control[128];
            msghdr message{};
            message.msg_iov = &data;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            const ssize_t got = ::recvmsg(items[k].fd, &message, 0);
            const int error = errno;
            auto arrived = std::chrono::system_clock::now();
            for (cmsghdr* c = got > 0 ? CMSG_FIRSTHDR(&message) : nullptr; c != nullptr;
                 c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec when{};
                    std::memcpy(&when, CMSG_DATA(c), sizeof when);
                    arrived = std::chrono::system_clock::time_point(
                        std::chrono::duration_cast<std::chrono::system_clock::duration>(
                            std::chrono::seconds(when.tv_sec) +
                            std::chrono::nanoseconds(when.tv_nsec)));
                }
            }
            std::lock_guard lock(m_mutex);
            Peer& peer = m_peers[owners[k - 2]];
            if (got > 0 && m_options.onBytes) {
                m_options.onBytes(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
                bRead = true;
            } else if (got > 0) {
                peer.bytes.append(buffer.data(), static_cast<std::size_t>(got));
                peer.lineArrivals.insert(
                    peer.lineArrivals.end(),
                    static_cast<std::size_t>(std::count(buffer.data(), buffer.data() + got, '\n')),
                    arrived);
                bRead = true;
            } else if (got == 0 || (error != EINTR && error != EAGAIN)) {
                ::close(peer.fd);
                peer.fd = -1;
                peer.bClosed = true;
            }
            m_changed.notify_all();
        }
        if (bRead && m_options.readPause.count() > 0) {
            pollfd wake{m_wakeFd, POLLIN, 0};
            ::poll(&wake, 1, static_cast<int>(m_options.readPause.count()));
        }
    }
}

bool LoopbackTcpServer::WaitFor(std::chrono::milliseconds timeout,
                                const std::function<bool()>& condition) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, condition);
}

bool LoopbackTcpServer::WaitForConnections(std::size_t count, std::chrono::milliseconds timeout) {
    return WaitFor(timeout, [&] { return m_peers.size() >= count; });
}

bool LoopbackTcpServer::WaitForBytes(std::size_t count, std::chrono::milliseconds timeout) {
    return WaitFor(timeout, [&] {
        std::size_t total = 0;
        for (const Peer& peer : m_peers) {
            total += peer.bytes.size();
        }
        return total >= count;
    });
}

bool LoopbackTcpServer::WaitForClosed(std::size_t count, std::chrono::milliseconds timeout) {
    return WaitFor(timeout, [&] {
        std::size_t closed = 0;
        for (const Peer& peer : m_peers) {
            closed += peer.bClosed ? 1 : 0;
        }
        return closed >= count;
    });
}

std::size_t LoopbackTcpServer::ConnectionCount() const {
    std::lock_guard lock(m_mutex);
    return m_peers.size();
}

std::size_t LoopbackTcpServer::ClosedCount() const {
    std::lock_guard lock(m_mutex);
    std::size_t closed = 0;
    for (const Peer& peer : m_peers) {
        closed += peer.bClosed ? 1 : 0;
    }
    return closed;
}

std::size_t LoopbackTcpServer::ByteCount() const {
    std::lock_guard lock(m_mutex);
    std::size_t total = 0;
    for (const Peer& peer : m_peers) {
        total += peer.bytes.size();
    }
    return total;
}

std::string LoopbackTcpServer::Received() const {
    std::lock_guard lock(m_mutex);
    std::string all;
    for (const Peer& peer : m_peers) {
        all += peer.bytes;
    }
    return all;
}

std::vector<std::string> LoopbackTcpServer::ReceivedPerConnection() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> result;
    for (const Peer& peer : m_peers) {
        result.push_back(peer.bytes);
    }
    return result;
}

std::vector<std::chrono::system_clock::time_point> LoopbackTcpServer::LineArrivals(
    std::size_t index) const {
    std::lock_guard lock(m_mutex);
    return index < m_peers.size() ? m_peers[index].lineArrivals
                                  : std::vector<std::chrono::system_clock::time_point>{};
}

void LoopbackTcpServer::StartReading() {
    m_bReading = true;
    Wake();
}

void LoopbackTcpServer::ResetConnections() {
    m_bResetRequested = true;
    Wake();
    WaitFor(kLoopbackWait, [&] { return !m_bResetRequested; });
}

// --- StalledTcpListener ----------------------------------------------------------------------

StalledTcpListener::StalledTcpListener() {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        throw std::runtime_error("StalledTcpListener: no socket");
    }
    m_port = BindLoopback(m_listenFd);
    // A backlog of 0 lets one finished handshake wait in the accept queue; once it is there the
    // system drops every further SYN, so later connects get no answer at all.
    if (::listen(m_listenFd, 0) != 0) {
        throw std::runtime_error("StalledTcpListener: listen failed");
    }
    const sockaddr_in address = LoopbackAddress(m_port);
    for (int attempt = 0; attempt < 8 && !IsAcceptQueueFull(m_listenFd); ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            break;
        }
        m_fillers.push_back(fd);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            pollfd item{fd, POLLOUT, 0};
            ::poll(&item, 1, 5000);  // the handshake completes at once on loopback
        }
    }
    if (!IsAcceptQueueFull(m_listenFd)) {
        return;
    }
    // The queue is full; make sure this system really leaves a further connect unanswered.
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe >= 0) {
        if (::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
            errno == EINPROGRESS) {
            pollfd item{probe, POLLOUT, 0};
            m_bStalled = ::poll(&item, 1, 300) == 0;
        }
        ::close(probe);
    }
}

StalledTcpListener::~StalledTcpListener() {
    for (const int fd : m_fillers) {
        ::close(fd);
    }
    ::close(m_listenFd);
}

// --- LoopbackUdpReceiver ---------------------------------------------------------------------

LoopbackUdpReceiver::LoopbackUdpReceiver() {
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd < 0 || m_wakeFd < 0) {
        throw std::runtime_error("LoopbackUdpReceiver: no socket");
    }
    // Room for several of the largest datagrams even if the reading thread falls behind.
    const int size = 4 * 1024 * 1024;
    if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    m_port = BindLoopback(m_fd);
    m_thread = std::thread([this] { Run(); });
}

LoopbackUdpReceiver::~LoopbackUdpReceiver() {
    m_bStop = true;
    Signal(m_wakeFd);
    m_thread.join();
    ::close(m_fd);
    ::close(m_wakeFd);
}

void LoopbackUdpReceiver::Run() {
    std::vector<char> buffer(70000);
    while (!m_bStop) {
        pollfd items[2] = {{m_wakeFd, POLLIN, 0}, {m_fd, POLLIN, 0}};
        if (::poll(items, 2, -1) < 0) {
            continue;
        }
        if (items[1].revents != 0) {
            const ssize_t got = ::recv(m_fd, buffer.data(), buffer.size(), 0);
            if (got >= 0) {
                std::lock_guard lock(m_mutex);
                m_datagrams.emplace_back(buffer.data(), static_cast<std::size_t>(got));
                m_changed.notify_all();
            }
        }
    }
}

bool LoopbackUdpReceiver::WaitForDatagrams(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_datagrams.size() >= count; });
}

std::vector<std::string> LoopbackUdpReceiver::Datagrams() const {
    std::lock_guard lock(m_mutex);
    return m_datagrams;
}
