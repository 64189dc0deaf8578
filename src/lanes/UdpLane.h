#pragma once
// A lane that plays to a receiving device as UDP datagrams, as `play --udp` does: one datagram
// per line, a longer line cut into full datagrams in order; a broadcast address gets the leave to
// broadcast the first time the system asks for it, a multicast group the lane's hop limit and
// interface. "Sent" means the system took every datagram of the line.
// Threads and failures: as CLane.
#include <asio/ip/udp.hpp>

#include "lanes/Lane.h"

class CUdpLane : public CLane {
  public:
    CUdpLane(asio::io_context& io, const LanePlan& plan, std::shared_ptr<const CPlayFile> file,
             LaneEvents events);

  private:
    void Transmit() override;
    void Interrupt() override;
    void Shutdown(bool bAtOnce) override;
    std::size_t PieceSize() const override;

    bool Open();
    // Sends the current piece's datagrams from `m_nAt` on.
    void SendDatagrams();

    asio::basic_datagram_socket<asio::ip::udp, Executor> m_socket;
    const asio::ip::udp::endpoint m_endpoint;
    std::size_t m_nAt = 0;
    bool m_bBroadcast = false;
    bool m_bToldSocket = false;
};
