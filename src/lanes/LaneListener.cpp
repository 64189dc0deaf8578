#include "lanes/LaneListener.h"

SocketError CLaneListener::Listen(std::uint32_t dwAddr, std::uint16_t wPort) {
    SocketError error = SocketError::kNone;
    CSocket socket = CSocket::OpenStream(&error);
    if (!socket.IsOpen()) {
        return error;
    }
    if ((error = socket.Bind(dwAddr, wPort, true)) != SocketError::kNone ||
        (error = socket.Listen()) != SocketError::kNone) {
        return error;
    }
    m_wPort = socket.LocalPort();
    m_socket = std::move(socket);
    return SocketError::kNone;
}

void CLaneListener::SetConnectionNotices(ConnectionNotice onOpened, ConnectionNotice onClosed,
                                         ConnectionNotice onDropped) {
    m_onOpened = std::move(onOpened);
    m_onClosed = std::move(onClosed);
    m_onDropped = std::move(onDropped);
}

std::vector<ListenConnection> CLaneListener::Connections() const {
    std::lock_guard lock(m_mutex);
    return m_connections;
}

std::uint64_t CLaneListener::Opened(const std::string& address) {
    ListenConnection connection;
    {
        std::lock_guard lock(m_mutex);
        connection.nNumber = m_connections.size() + 1;
        connection.strAddress = address;
        m_connections.push_back(connection);
    }
    if (m_onOpened) {
        m_onOpened(connection);
    }
    return connection.nNumber;
}

void CLaneListener::Counted(std::uint64_t number, std::uint64_t lines) {
    std::lock_guard lock(m_mutex);
    if (number >= 1 && number <= m_connections.size()) {
        m_connections[number - 1].nLines = lines;
    }
}

void CLaneListener::Closed(std::uint64_t number, bool bDropped) {
    ListenConnection connection;
    {
        std::lock_guard lock(m_mutex);
        if (number < 1 || number > m_connections.size()) {
            return;
        }
        m_connections[number - 1].bOpen = false;
        connection = m_connections[number - 1];
    }
    const ConnectionNotice& notice = bDropped ? m_onDropped : m_onClosed;
    if (notice) {
        notice(connection);
    }
}
