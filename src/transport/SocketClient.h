#pragma once
// The main window's socket client: the one TCP connection that playback sends lines over, the
// window to notify and the endpoint last asked for, and a receive queue that nothing feeds yet.
//
// Threads: the playback thread calls Connect, Send (on m_client), IsConnected and Close. The
// window's thread constructs and destroys it, and may call Close (a Send in progress then fails
// with -1), CancelConnect and AllowConnect at any time.
//
// Failures: Connect returns the codes of CTCPClient::ConnectServ (0, -1, -3, -4, -5, -100);
// Close always returns 0; m_client.Send returns the length or -1.
#include <cstdint>
#include <stop_token>

#include "transport/RecvQueue.h"
#include "transport/TCPClient.h"

class CSocketClient {
  public:
    explicit CSocketClient(void* pOwner = nullptr);
    ~CSocketClient();  // the queue is emptied, then the connection is closed and its thread ended
    CSocketClient(const CSocketClient&) = delete;
    CSocketClient& operator=(const CSocketClient&) = delete;

    // Records the window and the endpoint (whether or not the connection succeeds), then opens
    // the connection with ThreadWatchSocket as its thread. `stop` ends a connect in progress.
    int Connect(void* hNotifyWnd, std::uint32_t dwServAddr, int nServPort,
                std::stop_token stop = {});
    int Close();  // always 0
    bool IsConnected() const;

    // See CTCPClient: sticky cancel of connects until AllowConnect().
    void CancelConnect() { m_client.CancelConnect(); }
    void AllowConnect() { m_client.AllowConnect(); }

    // The connection's thread: waits until the socket is closed and returns 0. It reads nothing
    // from the network. `pParam` is the CSocketClient.
    static std::uint32_t ThreadWatchSocket(void* pParam);

    void* Owner() const { return m_pOwner; }
    void* NotifyWindow() const { return m_hNotifyWnd; }
    std::uint32_t ServAddr() const { return m_dwServAddr; }
    int ServPort() const { return m_nServPort; }
    CRecvQueue& RecvQueue() { return m_recvQueue; }

  private:
    void* m_pOwner = nullptr;
    void* m_hNotifyWnd = nullptr;

  public:
    // Lines are sent with m_client.Send(bytes, length, 0).
    CTCPClient m_client;

  private:
    std::uint32_t m_dwServAddr = 0;
    int m_nServPort = 0;
    CRecvQueue m_recvQueue;
};
