#include "platform/ReceiveSocket.h"

#include <algorithm>
#include <utility>

namespace {
// Bursts of datagrams sent with no delay must not be dropped while a line is printed.
constexpr int kDatagramBufferSize = 4 * 1024 * 1024;
}  // namespace

CReceiveSocket::~CReceiveSocket() {
    Close();
}

CReceiveSocket::CReceiveSocket(CReceiveSocket&& other) noexcept
    : m_socket(std::move(other.m_socket)),
      m_bCountsDrops(std::exchange(other.m_bCountsDrops, false)),
      m_dwDropsSeen(std::exchange(other.m_dwDropsSeen, 0)) {}

CReceiveSocket& CReceiveSocket::operator=(CReceiveSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_socket = std::move(other.m_socket);
        m_bCountsDrops = std::exchange(other.m_bCountsDrops, false);
        m_dwDropsSeen = std::exchange(other.m_dwDropsSeen, 0);
    }
    return *this;
}

SocketError CReceiveSocket::Keep(CSocket opened, SocketError error) {
    if (error == SocketError::kNone) {
        m_socket = std::move(opened);
    }
    return error;
}

void CReceiveSocket::PrepareDatagrams() {
    m_socket.SetReceiveBufferSize(kDatagramBufferSize);
    m_bCountsDrops = m_socket.CountDroppedDatagrams();
}

SocketError CReceiveSocket::ListenTcp(std::uint32_t dwAddr, std::uint16_t wPort) {
    Close();
    SocketError error = SocketError::kNone;
    CSocket opened = CSocket::OpenStream(&error);
    // A receiver restarted at once must get its port back although old connections linger. The
    // queue of waiting connections is the longest the system allows: a burst of short
    // connections must not find it full, since a refused peer waits long before it tries again.
    if (error == SocketError::kNone) {
        error = opened.Bind(dwAddr, wPort, true);
    }
    if (error == SocketError::kNone) {
        error = opened.Listen();
    }
    return Keep(std::move(opened), error);
}

SocketError CReceiveSocket::BindUdp(std::uint32_t dwAddr, std::uint16_t wPort) {
    Close();
    SocketError error = SocketError::kNone;
    CSocket opened = CSocket::OpenDatagram(&error);
    if (error == SocketError::kNone) {
        error = opened.Bind(dwAddr, wPort, false);
    }
    if (Keep(std::move(opened), error) == SocketError::kNone) {
        PrepareDatagrams();
    }
    return error;
}

SocketError CReceiveSocket::JoinUdpGroup(std::uint32_t dwGroup, std::uint16_t wPort,
                                         std::uint32_t dwInterface) {
    Close();
    SocketError error = SocketError::kNone;
    CSocket opened = CSocket::OpenDatagram(&error);
    if (error == SocketError::kNone) {
        // Several receivers of one group on one machine (a device and a test of it) share the
        // port; where the system refuses, this receiver has the port to itself.
        opened.SharePort();
        error = opened.Bind(0, wPort, false);
    }
    if (error == SocketError::kNone) {
        error = opened.JoinMulticastGroup(dwGroup, dwInterface);
    }
    if (Keep(std::move(opened), error) == SocketError::kNone) {
        PrepareDatagrams();
    }
    return error;
}

SocketError CReceiveSocket::ConnectTcp(std::uint32_t dwAddr, std::uint16_t wPort,
                                       std::chrono::milliseconds timeout,
                                       const CWakeEvent& cancel) {
    Close();
    SocketError error = SocketError::kNone;
    CSocket opened = CSocket::OpenStream(&error);
    if (error == SocketError::kNone) {
        error = opened.Connect(dwAddr, wPort, timeout, cancel);
    }
    return Keep(std::move(opened), error);
}

SocketError CReceiveSocket::WaitReadable(const CWakeEvent& cancel,
                                         std::chrono::milliseconds timeout) const {
    return m_socket.WaitReadable(cancel, timeout);
}

SocketError CReceiveSocket::Accept(CReceiveSocket& connection, std::string& peerText) {
    connection.Close();
    std::uint32_t dwPeerAddr = 0;
    std::uint16_t wPeerPort = 0;
    const SocketError error = m_socket.Accept(connection.m_socket, &dwPeerAddr, &wPeerPort);
    if (error == SocketError::kNone) {
        peerText = FormatIPv4Address(dwPeerAddr) + ":" + std::to_string(wPeerPort);
    }
    return error;
}

std::int64_t CReceiveSocket::Receive(void* pBuffer, std::size_t nCapacity, SocketError* pError) {
    return m_socket.Receive(pBuffer, nCapacity, pError, m_bCountsDrops ? &m_dwDropsSeen : nullptr);
}

std::optional<std::uint64_t> CReceiveSocket::DroppedDatagrams() const {
    if (!m_bCountsDrops) {
        return std::nullopt;
    }
    // A datagram tells the count as it stood when it was queued, so drops after the last one
    // read (a burst that overran the buffer and then stopped) show only in the count the socket
    // keeps now, where the system gives it out.
    const std::optional<std::uint64_t> now = m_socket.DroppedDatagrams();
    return now ? std::max<std::uint64_t>(*now, m_dwDropsSeen) : m_dwDropsSeen;
}

void CReceiveSocket::Close() noexcept {
    m_socket.Close();
    m_bCountsDrops = false;
    m_dwDropsSeen = 0;
}
