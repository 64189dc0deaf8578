#include "transport/TCPServer.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "platform/Trace.h"

CTCPServer::~CTCPServer() {
    ClosePeers();
    CloseListener();
}

int CTCPServer::Listen(std::uint32_t dwAddr, int nPort, SocketError* pError) {
    if (nPort < 0 || nPort > 65535) {
        Trace("[CTCPServer::Listen] ERROR - nServPort is %d", nPort);
        return -1;
    }
    CloseListener();
    if (!m_wake.IsCreated()) {
        // Without it a wait for a connection could not be stopped: refuse rather than hang.
        if (const SystemError failure = m_wake.Create(); failure.Failed()) {
            Trace("[CTCPServer::Listen] ERROR - Can't create event(%u)", failure.number);
            if (pError != nullptr) {
                *pError = SocketError::kTooManySockets;
            }
            return -3;
        }
    }
    SocketError error = SocketError::kNone;
    CSocket opened = CSocket::OpenStream(&error);
    if (!opened.IsOpen()) {
        Trace("[CTCPServer::Listen] ERROR - Can't create socket(%u)", SocketErrorCode(error));
        if (pError != nullptr) {
            *pError = error;
        }
        return -3;
    }
    // A program started again at once must get its port back although old connections linger.
    if ((error = opened.Bind(dwAddr, static_cast<std::uint16_t>(nPort), true)) !=
            SocketError::kNone ||
        (error = opened.Listen()) != SocketError::kNone) {
        Trace("[CTCPServer::Listen] ERROR - bind or listen error(%u)", SocketErrorCode(error));
        if (pError != nullptr) {
            *pError = error;
        }
        return -4;
    }
    StoreSocket(m_listenSocket, std::make_shared<CSocket>(std::move(opened)));
    return 0;
}

std::uint16_t CTCPServer::ListenPort() const {
    const SocketHandle listener = LoadSocket(m_listenSocket);
    return listener ? listener->LocalPort() : 0;
}

bool CTCPServer::WaitForConnection(const std::stop_token& stop) {
    const SocketHandle listener = LoadSocket(m_listenSocket);
    if (!listener) {
        return false;
    }
    m_wake.Reset();
    // Constructed after the reset: a stop already given sets the event at once.
    std::stop_callback onStop(stop, [this] { m_wake.Set(); });
    for (;;) {
        const SocketError error = listener->WaitReadable(m_wake, std::chrono::milliseconds(-1));
        if (error == SocketError::kNone) {
            return true;
        }
        if (error != SocketError::kTimedOut) {
            return false;
        }
    }
}

void CTCPServer::AcceptWaiting(std::vector<PeerId>& accepted) {
    const SocketHandle listener = LoadSocket(m_listenSocket);
    if (!listener) {
        return;
    }
    for (;;) {
        CSocket connection;
        std::uint32_t dwAddr = 0;
        std::uint16_t wPort = 0;
        const SocketError error = listener->Accept(connection, &dwAddr, &wPort);
        if (error != SocketError::kNone) {
            if (error != SocketError::kWouldBlock) {
                Trace("[CTCPServer::AcceptWaiting] ERROR - accept error(%u)",
                      SocketErrorCode(error));
            }
            return;
        }
        Peer peer{++m_nLastId, std::make_shared<CSocket>(std::move(connection))};
        accepted.push_back({peer.nId, FormatIPv4Address(dwAddr) + ":" + std::to_string(wPort)});
        std::lock_guard lock(m_peersLock);
        m_peers.push_back(std::move(peer));
    }
}

std::vector<CTCPServer::Peer> CTCPServer::CopyPeers() const {
    std::lock_guard lock(m_peersLock);
    return m_peers;
}

void CTCPServer::RemovePeer(std::uint64_t nId) {
    SocketHandle socket;
    {
        std::lock_guard lock(m_peersLock);
        const auto found = std::find_if(m_peers.begin(), m_peers.end(),
                                        [nId](const Peer& peer) { return peer.nId == nId; });
        if (found == m_peers.end()) {
            return;
        }
        socket = std::move(found->socket);
        m_peers.erase(found);
    }
    socket->Shutdown();
}

void CTCPServer::DropGonePeers(std::vector<std::uint64_t>& gone) {
    for (Peer& peer : CopyPeers()) {
        if (!peer.socket->DiscardIncoming()) {
            RemovePeer(peer.nId);
            gone.push_back(peer.nId);
        }
    }
}

void CTCPServer::SendToPeers(const char* pData, std::size_t nLength,
                             std::vector<std::uint64_t>& delivered,
                             std::vector<std::uint64_t>& failed) {
    for (Peer& peer : CopyPeers()) {
        std::size_t nSent = 0;
        bool bFailed = false;
        do {
            const std::int64_t count =
                peer.socket->Send(pData + nSent, nLength - nSent, 0, nullptr);
            if (count < 0) {
                bFailed = true;
                break;
            }
            nSent += static_cast<std::size_t>(count);
        } while (nSent < nLength);
        if (bFailed) {
            RemovePeer(peer.nId);
            failed.push_back(peer.nId);
        } else {
            delivered.push_back(peer.nId);
        }
    }
}

std::size_t CTCPServer::PeerCount() const {
    std::lock_guard lock(m_peersLock);
    return m_peers.size();
}

void CTCPServer::ShutdownPeers() {
    std::lock_guard lock(m_peersLock);
    for (Peer& peer : m_peers) {
        peer.socket->Shutdown();
    }
}

void CTCPServer::ClosePeers(std::vector<std::uint64_t>* closed) {
    std::vector<Peer> peers;
    {
        std::lock_guard lock(m_peersLock);
        peers.swap(m_peers);
    }
    for (Peer& peer : peers) {
        peer.socket->Shutdown();
        if (closed != nullptr) {
            closed->push_back(peer.nId);
        }
    }
}

void CTCPServer::CloseListener() {
    CloseSocket(m_listenSocket);
}
