#pragma once
// The server side of TCP: a listening socket and the connections (peers) it has accepted, each
// known by a number of its own (1, 2, ... over the object's life) and its address. The window
// only constructs and destroys one (it listens nowhere); the command line's listen mode plays
// lines to every peer.
//
// Threads: the owner's thread (the playback thread while a run lasts) calls Listen, the waits,
// AcceptWaiting, DropGonePeers, SendToPeers and the closes; any thread may call ShutdownPeers (a
// send in progress then fails at once), IsListening, ListenPort and PeerCount.
//
// Failures: Listen returns 0 or a negative code (-1 port out of range, -3 no socket, -4 the
// address cannot be bound or listened on; *pError says why); the other operations report by
// their results. Nothing throws.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "platform/WakeEvent.h"
#include "transport/SocketBase.h"

class CTCPServer : public CSocketBase {
  public:
    struct PeerId {
        std::uint64_t nId = 0;
        std::string strAddress;  // "a.b.c.d:port"
    };

    CTCPServer() = default;
    ~CTCPServer();  // closes the connections and the listening socket

    // Listens on dwAddr (host byte order, 0 every interface) and nPort (0: the system chooses,
    // see ListenPort). A listener already open is closed first.
    int Listen(std::uint32_t dwAddr, int nPort, SocketError* pError);
    bool IsListening() const { return LoadSocket(m_listenSocket) != nullptr; }
    std::uint16_t ListenPort() const;

    // Waits until a connection is waiting to be accepted; false when `stop` came first (or the
    // listener is closed or fails).
    bool WaitForConnection(const std::stop_token& stop);
    // Accepts every connection waiting, without waiting, and appends them to `accepted`.
    void AcceptWaiting(std::vector<PeerId>& accepted);
    // Drops the peers that have closed or reset their connection (whatever a peer sent is read
    // and thrown away) and appends their numbers to `gone`.
    void DropGonePeers(std::vector<std::uint64_t>& gone);
    // Sends all nLength bytes to every peer in turn. A peer whose send fails is closed and
    // dropped; the numbers of those that took the bytes whole go to `delivered`, the others to
    // `failed`.
    void SendToPeers(const char* pData, std::size_t nLength, std::vector<std::uint64_t>& delivered,
                     std::vector<std::uint64_t>& failed);
    std::size_t PeerCount() const;

    // Any thread: shuts every connection down, so that a send blocked on a peer that stopped
    // reading fails at once.
    void ShutdownPeers();
    // Closes every connection; their numbers go to `closed` when given.
    void ClosePeers(std::vector<std::uint64_t>* closed = nullptr);
    void CloseListener();

  private:
    struct Peer {
        std::uint64_t nId = 0;
        SocketHandle socket;
    };
    std::vector<Peer> CopyPeers() const;
    void RemovePeer(std::uint64_t nId);

    SocketHandle m_listenSocket;     // under the base's lock
    CWakeEvent m_wake;               // ends WaitForConnection; made by Listen
    mutable std::mutex m_peersLock;  // guards m_peers; never held with the base's lock
    std::vector<Peer> m_peers;
    std::uint64_t m_nLastId = 0;
};
