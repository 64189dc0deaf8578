#pragma once
// The main window's socket server: the server-side counterpart of CSocketClient. It is only
// constructed and destroyed; it opens no socket and starts no thread.
// Threads: the window's thread. Nothing here fails.
#include "transport/RecvQueue.h"
#include "transport/TCPServer.h"

class CSocketServer {
  public:
    explicit CSocketServer(void* pOwner = nullptr);
    ~CSocketServer();  // empties the queue before the other members go
    CSocketServer(const CSocketServer&) = delete;
    CSocketServer& operator=(const CSocketServer&) = delete;

    void* Owner() const { return m_pOwner; }
    const CTCPServer& Server() const { return m_server; }
    CRecvQueue& RecvQueue() { return m_recvQueue; }

  private:
    void* m_pOwner = nullptr;
    CTCPServer m_server;
    CRecvQueue m_recvQueue;
};
