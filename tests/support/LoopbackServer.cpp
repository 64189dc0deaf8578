#include "LoopbackServer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "TestSockets.h"

namespace {

TestSocket Native(std::intptr_t socket) {
    return static_cast<TestSocket>(socket);
}

std::intptr_t Stored(TestSocket socket) {
    return socket == kNoTestSocket ? -1 : static_cast<std::intptr_t>(socket);
}

sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopbackAddress);
    address.sin_port = htons(port);
    return address;
}

// Binds the socket to 127.0.0.1 on a port the system chooses and returns that port.
std::uint16_t BindLoopback(TestSocket socket) {
    const sockaddr_in address = LoopbackAddress(0);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("bind failed: " + std::to_string(LastTestSocketError()));
    }
    sockaddr_in bound;
    TestSocketLength length = sizeof bound;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length);
    return ntohs(bound.sin_port);
}

void CloseWithReset(TestSocket socket) {
    const linger hard{1, 0};
    SetTestSocketOption(socket, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    CloseTestSocket(socket);
}

// The wake-up of a serving thread: a datagram socket that sends itself a byte, so that it becomes
// readable among the sockets the thread polls.
TestSocket OpenWakeSocket() {
    const TestSocket socket = OpenTestSocket(SOCK_DGRAM);
    if (socket == kNoTestSocket) {
        return socket;
    }
    BindLoopback(socket);
    SetTestSocketNonBlocking(socket);
    return socket;
}

void Drain(TestSocket wake) {
    char bytes[64];
    while (::recv(wake, bytes, sizeof bytes, 0) > 0) {
    }
}

void Signal(TestSocket wake) {
    sockaddr_in self;
    TestSocketLength length = sizeof self;
    ::getsockname(wake, reinterpret_cast<sockaddr*>(&self), &length);
    const char one = 1;
    ::sendto(wake, &one, 1, 0, reinterpret_cast<const sockaddr*>(&self), sizeof self);
}

pollfd Item(std::intptr_t socket, short events) {
    pollfd item{};
    item.fd = Native(socket);
    item.events = events;
    return item;
}

}  // namespace

// --- LoopbackTcpServer -----------------------------------------------------------------------

std::uint16_t UnusedLoopbackPort() {
    const TestSocket socket = OpenTestSocket(SOCK_STREAM);
    const std::uint16_t port = BindLoopback(socket);
    CloseTestSocket(socket);
    return port;
}

LoopbackTcpServer::LoopbackTcpServer(LoopbackTcpOptions options)
    : m_options(options), m_bReading(options.bRead) {
    m_listenFd = Stored(OpenTestSocket(SOCK_STREAM));
    m_wakeFd = Stored(OpenWakeSocket());
    if (m_listenFd < 0 || m_wakeFd < 0) {
        throw std::runtime_error("LoopbackTcpServer: no socket");
    }
    if (m_options.nReceiveBufferSize > 0) {
        // Set on the listener so that accepted sockets start with it (the window is offered
        // during the handshake).
        SetTestSocketOption(Native(m_listenFd), SOL_SOCKET, SO_RCVBUF,
                            &m_options.nReceiveBufferSize, sizeof m_options.nReceiveBufferSize);
    }
    // Arrival stamps for LineArrivals; accepted sockets inherit the option, and every packet from
    // now on is stamped, including those that arrive before the connection is accepted.
    EnableArrivalStamps(Native(m_listenFd));
    m_port = BindLoopback(Native(m_listenFd));
    // A backlog of 0 lets the queue be held full with one connection of our own; otherwise the
    // longest the system allows, so that many senders connecting at once are all taken (Windows
    // refuses a connect outright when the queue is full).
    if (::listen(Native(m_listenFd), m_options.acceptAfter.count() > 0 ? 0 : SOMAXCONN) != 0) {
        throw std::runtime_error("LoopbackTcpServer: listen failed");
    }
    if (m_options.acceptAfter.count() > 0) {
        HoldConnects();
    }
    m_thread = std::thread([this] { Run(); });
}

void LoopbackTcpServer::HoldConnects() {
    const sockaddr_in address = LoopbackAddress(m_port);
    const TestSocket listener = Native(m_listenFd);
    if (!IsAcceptQueueFull(listener).has_value()) {
        return;  // the system does not tell whether the queue is full: no hold to rely on
    }
    for (int attempt = 0; attempt < 8 && !IsAcceptQueueFull(listener).value_or(false); ++attempt) {
        const TestSocket filler = OpenTestSocket(SOCK_STREAM);
        if (filler == kNoTestSocket) {
            break;
        }
        SetTestSocketNonBlocking(filler);
        m_fillers.push_back(Stored(filler));
        if (::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            pollfd item{};
            item.fd = filler;
            item.events = POLLOUT;
            PollTestSockets(&item, 1, 5000);  // the handshake completes at once on loopback
        }
    }
    m_bHolding = IsAcceptQueueFull(listener).value_or(false);
}

void LoopbackTcpServer::ReleaseConnects() {
    // Take the fillers out of the queue (they are the only ones in it: every other connect was
    // left unanswered) and drop them; the next connect attempt then gets through.
    for (std::size_t n = 0; n < m_fillers.size(); ++n) {
        pollfd item = Item(m_listenFd, POLLIN);
        if (PollTestSockets(&item, 1, 1000) <= 0) {
            break;
        }
        const TestSocket accepted = AcceptTestSocket(Native(m_listenFd));
        if (accepted != kNoTestSocket) {
            CloseTestSocket(accepted);
        }
    }
    for (const std::intptr_t filler : m_fillers) {
        CloseTestSocket(Native(filler));
    }
    m_fillers.clear();
}

LoopbackTcpServer::~LoopbackTcpServer() {
    m_bStop = true;
    Wake();
    m_thread.join();
    for (const std::intptr_t filler : m_fillers) {
        CloseTestSocket(Native(filler));
    }
    for (Peer& peer : m_peers) {
        if (peer.fd >= 0) {
            CloseTestSocket(Native(peer.fd));
        }
    }
    CloseTestSocket(Native(m_listenFd));
    CloseTestSocket(Native(m_wakeFd));
}

void LoopbackTcpServer::Wake() {
    Signal(Native(m_wakeFd));
}

void LoopbackTcpServer::Run() {
    if (m_options.acceptAfter.count() > 0) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            m_made + m_options.acceptAfter - std::chrono::steady_clock::now());
        pollfd wake = Item(m_wakeFd, POLLIN);
        if (left.count() > 0 && PollTestSockets(&wake, 1, static_cast<int>(left.count())) > 0) {
            return;  // stopped while still holding
        }
        ReleaseConnects();
    }
    std::vector<char> buffer(m_options.nReadChunk);
    while (!m_bStop) {
        std::vector<pollfd> items = {Item(m_wakeFd, POLLIN), Item(m_listenFd, POLLIN)};
        std::vector<std::size_t> owners;
        {
            std::lock_guard lock(m_mutex);
            for (std::size_t i = 0; i < m_peers.size(); ++i) {
                if (m_peers[i].fd >= 0 && m_bReading) {
                    items.push_back(Item(m_peers[i].fd, POLLIN));
                    owners.push_back(i);
                }
            }
        }
        if (PollTestSockets(items.data(), items.size(), -1) < 0) {
            continue;
        }
        if (items[0].revents != 0) {
            Drain(Native(m_wakeFd));
            if (m_bResetRequested) {
                std::lock_guard lock(m_mutex);
                for (Peer& peer : m_peers) {
                    if (peer.fd >= 0) {
                        CloseWithReset(Native(peer.fd));
                        peer.fd = -1;
                    }
                }
                m_bResetRequested = false;
                m_changed.notify_all();
            }
            continue;  // the set of sockets to watch may have changed
        }
        if (items[1].revents != 0) {
            const TestSocket accepted = AcceptTestSocket(Native(m_listenFd));
            if (accepted != kNoTestSocket) {
                Peer peer;
                if (m_options.bResetOnAccept) {
                    CloseWithReset(accepted);
                } else {
                    peer.fd = Stored(accepted);
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
            auto arrived = std::chrono::system_clock::now();
            const auto got =
                ReceiveStamped(Native(items[k].fd), buffer.data(), buffer.size(), arrived);
            const int error = got < 0 ? LastTestSocketError() : 0;
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
            } else if (got == 0 || !IsPassingSocketError(error)) {
                CloseTestSocket(Native(peer.fd));
                peer.fd = -1;
                peer.bClosed = true;
            }
            m_changed.notify_all();
        }
        if (bRead && m_options.readPause.count() > 0) {
            pollfd wake = Item(m_wakeFd, POLLIN);
            PollTestSockets(&wake, 1, static_cast<int>(m_options.readPause.count()));
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
    m_listenFd = Stored(OpenTestSocket(SOCK_STREAM));
    if (m_listenFd < 0) {
        throw std::runtime_error("StalledTcpListener: no socket");
    }
    const TestSocket listener = Native(m_listenFd);
    m_port = BindLoopback(listener);
    // A backlog of 0 lets one finished handshake wait in the accept queue; once it is there the
    // system drops every further SYN, so later connects get no answer at all.
    if (::listen(listener, 0) != 0) {
        throw std::runtime_error("StalledTcpListener: listen failed");
    }
    const sockaddr_in address = LoopbackAddress(m_port);
    if (!IsAcceptQueueFull(listener).has_value()) {
        // The system does not tell how full the queue is: connect until a handshake is left
        // unanswered; that connect is the proof of the stall.
        for (int attempt = 0; attempt < 8 && !m_bStalled; ++attempt) {
            const TestSocket filler = OpenTestSocket(SOCK_STREAM);
            if (filler == kNoTestSocket) {
                break;
            }
            SetTestSocketNonBlocking(filler);
            m_fillers.push_back(Stored(filler));
            if (::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
                    0 &&
                IsConnectInProgress(LastTestSocketError())) {
                pollfd item{};
                item.fd = filler;
                item.events = POLLOUT;
                m_bStalled = PollTestSockets(&item, 1, 300) == 0;
            }
        }
        return;
    }
    for (int attempt = 0; attempt < 8 && !IsAcceptQueueFull(listener).value_or(false); ++attempt) {
        const TestSocket filler = OpenTestSocket(SOCK_STREAM);
        if (filler == kNoTestSocket) {
            break;
        }
        SetTestSocketNonBlocking(filler);
        m_fillers.push_back(Stored(filler));
        if (::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            pollfd item{};
            item.fd = filler;
            item.events = POLLOUT;
            PollTestSockets(&item, 1, 5000);  // the handshake completes at once on loopback
        }
    }
    if (!IsAcceptQueueFull(listener).value_or(false)) {
        return;
    }
    // The queue is full; make sure this system really leaves a further connect unanswered.
    const TestSocket probe = OpenTestSocket(SOCK_STREAM);
    if (probe != kNoTestSocket) {
        SetTestSocketNonBlocking(probe);
        if (::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
            IsConnectInProgress(LastTestSocketError())) {
            pollfd item{};
            item.fd = probe;
            item.events = POLLOUT;
            m_bStalled = PollTestSockets(&item, 1, 300) == 0;
        }
        CloseTestSocket(probe);
    }
}

StalledTcpListener::~StalledTcpListener() {
    for (const std::intptr_t filler : m_fillers) {
        CloseTestSocket(Native(filler));
    }
    CloseTestSocket(Native(m_listenFd));
}

// --- LoopbackUdpReceiver ---------------------------------------------------------------------

LoopbackUdpReceiver::LoopbackUdpReceiver() {
    m_fd = Stored(OpenTestSocket(SOCK_DGRAM));
    m_wakeFd = Stored(OpenWakeSocket());
    if (m_fd < 0 || m_wakeFd < 0) {
        throw std::runtime_error("LoopbackUdpReceiver: no socket");
    }
    // Room for several of the largest datagrams even if the reading thread falls behind.
    SetLargeReceiveBuffer(Native(m_fd), 4 * 1024 * 1024);
    m_port = BindLoopback(Native(m_fd));
    m_thread = std::thread([this] { Run(); });
}

LoopbackUdpReceiver::~LoopbackUdpReceiver() {
    m_bStop = true;
    Signal(Native(m_wakeFd));
    m_thread.join();
    CloseTestSocket(Native(m_fd));
    CloseTestSocket(Native(m_wakeFd));
}

void LoopbackUdpReceiver::Run() {
    std::vector<char> buffer(70000);
    while (!m_bStop) {
        pollfd items[2] = {Item(m_wakeFd, POLLIN), Item(m_fd, POLLIN)};
        if (PollTestSockets(items, 2, -1) < 0) {
            continue;
        }
        if (items[0].revents != 0) {
            Drain(Native(m_wakeFd));
        }
        if (items[1].revents != 0) {
            const auto got =
                ::recv(Native(m_fd), buffer.data(), static_cast<int>(buffer.size()), 0);
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

// --- LoopbackTcpDevice -----------------------------------------------------------------------

LoopbackTcpDevice::LoopbackTcpDevice(std::uint16_t port, LoopbackDeviceOptions options)
    : m_options(options) {
    const TestSocket socket = OpenTestSocket(SOCK_STREAM);
    m_wakeFd = Stored(OpenWakeSocket());
    if (socket == kNoTestSocket || m_wakeFd < 0) {
        throw std::runtime_error("LoopbackTcpDevice: no socket");
    }
    if (m_options.nReceiveBufferSize > 0) {
        SetTestSocketOption(socket, SOL_SOCKET, SO_RCVBUF, &m_options.nReceiveBufferSize,
                            sizeof m_options.nReceiveBufferSize);
    }
    EnableArrivalStamps(socket);
    const sockaddr_in address = LoopbackAddress(port);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        CloseTestSocket(socket);
        return;
    }
    SetTestSocketNonBlocking(socket);
    m_fd = Stored(socket);
    m_thread = std::thread([this] { Run(); });
}

LoopbackTcpDevice::~LoopbackTcpDevice() {
    m_bStop = true;
    Signal(Native(m_wakeFd));
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_fd >= 0) {
        CloseTestSocket(Native(m_fd));
    }
    CloseTestSocket(Native(m_wakeFd));
}

void LoopbackTcpDevice::Run() {
    std::vector<char> buffer(64 * 1024);
    const std::string flood(64 * 1024, 'z');
    bool bReading = m_options.bRead;
    bool bFlooding = m_options.bFlood;
    while (!m_bStop) {
        const short events =
            static_cast<short>((bReading ? POLLIN : 0) | (bFlooding ? POLLOUT : 0));
        pollfd items[2] = {Item(m_wakeFd, POLLIN), Item(m_fd, events)};
        if (PollTestSockets(items, events != 0 ? 2 : 1, -1) < 0) {
            continue;
        }
        if (items[0].revents != 0) {
            Drain(Native(m_wakeFd));
            continue;
        }
        if (bFlooding && (items[1].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const long sent = SendTestSocket(Native(m_fd), flood.data(), flood.size());
            if (sent > 0) {
                std::lock_guard lock(m_mutex);
                m_nSent += static_cast<std::uint64_t>(sent);
            } else if (!IsPassingSocketError(LastTestSocketError())) {
                bFlooding = false;
            }
        }
        if (bReading && (items[1].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
            auto arrived = std::chrono::system_clock::now();
            const auto got = ReceiveStamped(Native(m_fd), buffer.data(), buffer.size(), arrived);
            const int error = got < 0 ? LastTestSocketError() : 0;
            std::lock_guard lock(m_mutex);
            if (got > 0) {
                m_received.append(buffer.data(), static_cast<std::size_t>(got));
                m_lineArrivals.insert(
                    m_lineArrivals.end(),
                    static_cast<std::size_t>(std::count(buffer.data(), buffer.data() + got, '\n')),
                    arrived);
            } else if (got == 0 || !IsPassingSocketError(error)) {
                m_bClosed = true;
                bReading = false;
                bFlooding = false;
            }
            m_changed.notify_all();
        }
    }
}

bool LoopbackTcpDevice::WaitForBytes(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_received.size() >= count; });
}

bool LoopbackTcpDevice::WaitForClosed(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_bClosed; });
}

std::string LoopbackTcpDevice::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::vector<std::chrono::system_clock::time_point> LoopbackTcpDevice::LineArrivals() const {
    std::lock_guard lock(m_mutex);
    return m_lineArrivals;
}

std::uint64_t LoopbackTcpDevice::BytesSent() const {
    std::lock_guard lock(m_mutex);
    return m_nSent;
}
