// What CSocket does the same on every system; the system calls are in the back ends.
#include "platform/Socket.h"

#include <cstdio>
#include <utility>

std::string FormatIPv4Address(std::uint32_t dwHostOrderAddr) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (dwHostOrderAddr >> 24) & 0xFFu,
                  (dwHostOrderAddr >> 16) & 0xFFu, (dwHostOrderAddr >> 8) & 0xFFu,
                  dwHostOrderAddr & 0xFFu);
    return text;
}

CSocket::~CSocket() {
    Close();
}

CSocket::CSocket(CSocket&& other) noexcept : m_hSocket(std::exchange(other.m_hSocket, -1)) {}

CSocket& CSocket::operator=(CSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_hSocket = std::exchange(other.m_hSocket, -1);
    }
    return *this;
}

void CSocket::SetError(SocketError* pError, SocketError error) noexcept {
    if (pError != nullptr) {
        *pError = error;
    }
}

SocketError CSocket::Accept(CSocket& peer, std::uint32_t* pdwPeerAddr, std::uint16_t* pwPeerPort) {
    peer.Close();
    if (!IsOpen()) {
        return SocketError::kBadSocket;
    }
    std::uint32_t dwPeerAddr = 0;
    std::uint16_t wPeerPort = 0;
    const SocketError error = AcceptWaiting(peer, dwPeerAddr, wPeerPort);
    if (error == SocketError::kNone) {
        if (pdwPeerAddr != nullptr) {
            *pdwPeerAddr = dwPeerAddr;
        }
        if (pwPeerPort != nullptr) {
            *pwPeerPort = wPeerPort;
        }
    }
    return error;
}
