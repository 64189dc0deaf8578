#include "transport/SocketClient.h"

#include <chrono>

CSocketClient::CSocketClient(void* pOwner) : m_pOwner(pOwner) {}

CSocketClient::~CSocketClient() = default;

int CSocketClient::Connect(void* hNotifyWnd, std::uint32_t dwServAddr, int nServPort,
                           std::stop_token stop) {
    m_hNotifyWnd = hNotifyWnd;
    m_dwServAddr = dwServAddr;
    m_nServPort = nServPort;
    return m_client.ConnectServ(dwServAddr, nServPort, ThreadWatchSocket, this, std::move(stop));
}

int CSocketClient::Close() {
    return m_client.Disconnect();
}

bool CSocketClient::IsConnected() const {
    return m_client.IsConnected();
}

std::uint32_t CSocketClient::ThreadWatchSocket(void* pParam) {
    auto* pClient = static_cast<CSocketClient*>(pParam);
    // Tested before every wait, so it ends at once when the socket is already closed; a close
    // wakes the wait at once instead of after the full period.
    while (pClient->m_client.IsConnected()) {
        pClient->m_client.WaitForDisconnect(std::chrono::milliseconds(500));
    }
    return 0;
}
