#pragma once
// The server side of a TCP connection: a listening socket and the peers it accepted. Nothing in
// the program listens or accepts, so the listening socket stays invalid and the peer list empty;
// the object only holds its sockets-library reference for its lifetime.
// Threads: constructed and destroyed by the window's thread. Nothing here fails.
#include <cstddef>
#include <vector>

#include "transport/SocketBase.h"

class CTCPServer : public CSocketBase {
  public:
    CTCPServer() = default;
    ~CTCPServer() = default;  // closes nothing and waits for nothing: nothing was opened

    bool IsListening() const { return LoadSocket(m_listenSocket) != nullptr; }
    std::size_t PeerCount() const { return m_peers.size(); }

  private:
    SocketHandle m_listenSocket;
    std::vector<SocketHandle> m_peers;
};
