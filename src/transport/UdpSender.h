#pragma once
// Sends each line as UDP datagrams to the receiving device: one datagram per line, or several in
// order when a line is longer than one datagram can carry (65,507 bytes): each of them full but
// the last. UDP gives no receipt, so "sent" means the system took every datagram; a receiver
// whose buffer is full drops datagrams unseen, and one that takes a datagram for a line sees a
// longer line as several. The socket is
// unconnected (nothing is ever received) and is opened on first use. A broadcast address
// (255.255.255.255 or a subnet's) is allowed as soon as the system asks for that permission; a
// multicast group (224.0.0.0/4) is sent to with the hop limit and outgoing interface of
// SetMulticast.
//
// Threads: one thread at a time (the playback thread).
//
// Failures: Send returns the length or a negative code: -1 address 0 or port <= 0 (nothing sent,
// no socket opened), -3 no socket could be created, -4 a datagram could not be sent (datagrams
// sent before it stay sent), -100 unexpected. Every failure writes a trace. Close always
// returns 0.
#include <cstddef>
#include <cstdint>

#include "platform/Socket.h"

class CUdpSender {
  public:
    static constexpr std::size_t kMaxDatagram = 65507;

    CUdpSender() = default;
    ~CUdpSender() = default;  // the socket closes with the object
    CUdpSender(const CUdpSender&) = delete;
    CUdpSender& operator=(const CUdpSender&) = delete;

    // Sends len bytes of buf to dwAddr (IPv4, host byte order) and the low 16 bits of nPort.
    // A zero length sends one empty datagram. A datagram the system refuses ends the send: the
    // rest is not sent and the result is -4.
    std::int64_t Send(std::uint32_t dwAddr, int nPort, const char* buf, std::size_t len);
    // For datagrams to a multicast group: at most `nTtl` hops (default 1, this network only) out of
    // the interface with the address dwInterface (0, the default: the system's routes choose).
    // Applies from the next Send.
    void SetMulticast(int nTtl, std::uint32_t dwInterface);
    int Close();
    bool IsOpen() const { return m_socket.IsOpen(); }

  private:
    // Sends one piece, allowing broadcast when the system refuses the address without it.
    std::int64_t SendPiece(const char* buf, std::size_t len, std::uint32_t dwAddr,
                           std::uint16_t wPort, SocketError* pError);

    CSocket m_socket;
    bool m_bBroadcastEnabled = false;  // on m_socket
    bool m_bMulticastSet = false;      // m_socket carries m_nTtl and m_dwInterface
    int m_nTtl = 1;
    std::uint32_t m_dwInterface = 0;
};
