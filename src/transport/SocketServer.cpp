#include "transport/SocketServer.h"

#include <utility>

CSocketServer::CSocketServer(void* pOwner) : m_pOwner(pOwner) {}

CSocketServer::~CSocketServer() {
    m_recvQueue.QRelease();
}

void CSocketServer::SetConnectionNotices(ConnectionNotice onOpened, ConnectionNotice onClosed) {
    m_onOpened = std::move(onOpened);
    m_onClosed = std::move(onClosed);
}

std::vector<ListenConnection> CSocketServer::Connections() const {
    std::lock_guard lock(m_statsLock);
    return m_connections;
}

void CSocketServer::TakeConnections() {
    std::vector<CTCPServer::PeerId> accepted;
    m_server.AcceptWaiting(accepted);
    for (CTCPServer::PeerId& peer : accepted) {
        ListenConnection connection;
        connection.nNumber = peer.nId;
        connection.strAddress = std::move(peer.strAddress);
        {
            std::lock_guard lock(m_statsLock);
            m_connections.push_back(connection);
        }
        if (m_onOpened) {
            m_onOpened(connection);
        }
    }
    m_scratchA.clear();
    m_server.DropGonePeers(m_scratchA);
    MarkClosed(m_scratchA);
}

void CSocketServer::MarkClosed(const std::vector<std::uint64_t>& numbers) {
    for (const std::uint64_t nNumber : numbers) {
        ListenConnection connection;
        {
            std::lock_guard lock(m_statsLock);
            ListenConnection& stored = m_connections.at(nNumber - 1);
            stored.bOpen = false;
            connection = stored;
        }
        if (m_onClosed) {
            m_onClosed(connection);
        }
    }
}

bool CSocketServer::IsReady() {
    TakeConnections();
    return m_server.PeerCount() > 0;
}

bool CSocketServer::WaitUntilReady(std::stop_token stop) {
    while (!IsReady()) {
        if (!m_server.WaitForConnection(stop)) {
            return false;
        }
    }
    return true;
}

bool CSocketServer::SendPiece(const char* pData, std::size_t nLength, bool bLastPiece) {
    // The devices are taken in before a line only (IsReady), and one that fails a piece is
    // dropped: whoever takes the last piece has taken the whole line.
    m_scratchA.clear();
    m_scratchB.clear();
    m_server.SendToPeers(pData, nLength, m_scratchA, m_scratchB);
    if (bLastPiece && !m_scratchA.empty()) {
        std::lock_guard lock(m_statsLock);
        for (const std::uint64_t nNumber : m_scratchA) {
            ++m_connections.at(nNumber - 1).nLines;
        }
    }
    const bool bDelivered = !m_scratchA.empty();
    MarkClosed(m_scratchB);
    return bDelivered;
}

void CSocketServer::Interrupt() {
    m_server.ShutdownPeers();
}

void CSocketServer::EndRun() {
    m_scratchA.clear();
    m_server.ClosePeers(&m_scratchA);
    MarkClosed(m_scratchA);
}
