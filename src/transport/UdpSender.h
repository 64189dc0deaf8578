#pragma once
// Sends each line as UDP datagrams to the receiving device: one datagram per line, or several in
// order when a line is longer than one datagram can carry (65,507 bytes). The socket is
// unconnected (nothing is ever received) and is opened on first use.
//
// Threads: one thread at a time (the playback thread).
//
// Failures: Send returns the length or a negative code: -1 address 0 or port <= 0 (nothing sent,
// no socket opened), -3 no socket could be created, -4 a datagram could not be sent (datagrams
// sent before it stay sent), -100 unexpected. Every failure writes a trace. Close always
// returns 0.
#include <cstdint>

#include "platform/Socket.h"

class CUdpSender {
  public:
    static constexpr int kMaxDatagram = 65507;

    CUdpSender() = default;
    ~CUdpSender() = default;  // the socket closes with the object
    CUdpSender(const CUdpSender&) = delete;
    CUdpSender& operator=(const CUdpSender&) = delete;

    // Sends len bytes of buf to dwAddr (IPv4, host byte order) and the low 16 bits of nPort.
    // A zero length sends one empty datagram.
    int Send(std::uint32_t dwAddr, int nPort, const char* buf, int len);
    int Close();
    bool IsOpen() const { return m_socket.IsOpen(); }

  private:
    CSocket m_socket;
};
