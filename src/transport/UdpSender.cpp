#include "transport/UdpSender.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/Trace.h"

std::int64_t CUdpSender::Send(std::uint32_t dwAddr, int nPort, const char* buf, std::size_t len) {
    if (dwAddr == 0 || nPort <= 0) {
        const std::string text = dwAddr == 0 ? "0" : FormatIPv4Address(dwAddr);
        Trace("[CUdpSender::Send] ERROR - pszServAddr is %s, nServPort is %d", text.c_str(), nPort);
        return -1;
    }
    if (len > static_cast<std::size_t>(INT64_MAX) || (buf == nullptr && len > 0)) {
        Trace("[CUdpSender::Send] ERROR - invalid length(%llu)",
              static_cast<unsigned long long>(len));
        return -100;
    }
    try {
        SocketError error = SocketError::kNone;
        if (!m_socket.IsOpen()) {
            m_socket = CSocket::OpenDatagram(&error);
            if (!m_socket.IsOpen()) {
                Trace("[CUdpSender::Send] ERROR - Can't create socket(%u)", SocketErrorCode(error));
                return -3;
            }
            m_bBroadcastEnabled = false;
            m_bMulticastSet = false;
        }
        if (IsMulticastAddress(dwAddr) && !m_bMulticastSet) {
            // Once per socket and setting: the options stay with the socket.
            if ((error = m_socket.SetMulticastSending(m_nTtl, m_dwInterface)) !=
                SocketError::kNone) {
                Trace("[CUdpSender::Send] ERROR - multicast settings(%u)", SocketErrorCode(error));
                return -4;
            }
            m_bMulticastSet = true;
        }
        const auto wPort = static_cast<std::uint16_t>(static_cast<unsigned>(nPort) & 0xFFFFu);
        // The largest payload an IPv4 datagram can carry; a longer line is cut into pieces that
        // a receiver that reads datagram by datagram gets back in order on a local network.
        std::size_t offset = 0;
        do {
            const std::size_t piece = std::min(len - offset, kMaxDatagram);
            if (SendPiece(buf + offset, piece, dwAddr, wPort, &error) < 0) {
                Trace("[CUdpSender::Send] ERROR - sendto error(%u)", SocketErrorCode(error));
                return -4;
            }
            offset += piece;
        } while (offset < len);
        return static_cast<std::int64_t>(len);
    } catch (...) {
        Trace("[CUdpSender::Send] ERROR - Exception");
        return -100;
    }
}

void CUdpSender::SetMulticast(int nTtl, std::uint32_t dwInterface) {
    m_nTtl = nTtl;
    m_dwInterface = dwInterface;
    m_bMulticastSet = false;
}

std::int64_t CUdpSender::SendPiece(const char* buf, std::size_t len, std::uint32_t dwAddr,
                                   std::uint16_t wPort, SocketError* pError) {
    std::int64_t sent = m_socket.SendTo(buf, len, dwAddr, wPort, pError);
    if (sent < 0 && *pError == SocketError::kAccessDenied && !m_bBroadcastEnabled) {
        // Only a broadcast address is refused this way: the socket needs leave to broadcast,
        // which it asks for once and keeps.
        m_bBroadcastEnabled = true;
        if (m_socket.EnableBroadcast() == SocketError::kNone) {
            sent = m_socket.SendTo(buf, len, dwAddr, wPort, pError);
        }
    }
    return sent;
}

int CUdpSender::Close() {
    m_socket.Close();
    return 0;
}
