#pragma once
// The socket server: the server-side counterpart of CSocketClient. The window only constructs and
// destroys one (it opens no socket and starts no thread). The command line's listen mode makes
// it a run's transport: it listens, and every line of the run goes to each device connected at
// the moment the line goes out; a device that connects later gets the lines from then on, one
// that disconnects simply gets no more, and while none is connected the run waits for one. It
// counts, per connection, the lines the device took whole.
//
// Threads: the owner's thread calls Listen and, after the run, Connections; during a run the
// run's thread makes the CLineSink calls (and the connection notices are made on it); Interrupt,
// Connections, Server().ListenPort() and Server().PeerCount() may be called from any thread.
// Failures: Listen returns the codes of CTCPServer::Listen; the rest as CLineSink says.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "transport/LineSink.h"
#include "transport/RecvQueue.h"
#include "transport/TCPServer.h"

// One device's connection as the server saw it.
struct ListenConnection {
    std::uint64_t nNumber = 0;  // 1, 2, ... in the order the connections were accepted
    std::string strAddress;     // the device's "a.b.c.d:port"
    std::uint64_t nLines = 0;   // lines it took whole
    bool bOpen = true;
};

class CSocketServer : public CLineSink {
  public:
    // Called on the run's thread when a device has connected, and when its connection has
    // ended (it closed it, a send to it failed, or the run ended). Must return promptly.
    using ConnectionNotice = std::function<void(const ListenConnection&)>;

    explicit CSocketServer(void* pOwner = nullptr);
    ~CSocketServer() override;  // empties the queue, then closes the connections and the listener
    CSocketServer(const CSocketServer&) = delete;
    CSocketServer& operator=(const CSocketServer&) = delete;

    int Listen(std::uint32_t dwAddr, int nPort, SocketError* pError) {
        return m_server.Listen(dwAddr, nPort, pError);
    }
    // Set before the run.
    void SetConnectionNotices(ConnectionNotice onOpened, ConnectionNotice onClosed);
    // Every connection so far, in the order they came.
    std::vector<ListenConnection> Connections() const;

    bool IsReady() override;
    bool WaitUntilReady(std::stop_token stop) override;
    bool SendPiece(const char* pData, std::size_t nLength, bool bLastPiece) override;
    void Interrupt() override;
    void EndRun() override;

    void* Owner() const { return m_pOwner; }
    const CTCPServer& Server() const { return m_server; }
    CRecvQueue& RecvQueue() { return m_recvQueue; }

  private:
    void TakeConnections();
    void MarkClosed(const std::vector<std::uint64_t>& numbers);

    void* m_pOwner = nullptr;
    CTCPServer m_server;
    CRecvQueue m_recvQueue;
    ConnectionNotice m_onOpened;
    ConnectionNotice m_onClosed;
    mutable std::mutex m_statsLock;
    std::vector<ListenConnection> m_connections;  // under m_statsLock; index nNumber - 1
    std::vector<std::uint64_t> m_scratchA;        // the run's thread only
    std::vector<std::uint64_t> m_scratchB;
};
