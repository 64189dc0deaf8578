#include "lanes/UdpLane.h"

#include <algorithm>
#include <asio/ip/multicast.hpp>
#include <asio/post.hpp>

#include "transport/UdpSender.h"

CUdpLane::CUdpLane(asio::io_context& io, const LanePlan& plan,
                   std::shared_ptr<const CPlayFile> file, LaneEvents events)
    : CLane(io, plan, std::move(file), std::move(events)),
      m_socket(m_executor),
      m_endpoint(asio::ip::address_v4(plan.address), plan.port) {}

std::size_t CUdpLane::PieceSize() const {
    // A piece of a long raw line is one full datagram.
    return CUdpSender::kMaxDatagram;
}

bool CUdpLane::Open() {
    if (m_socket.is_open()) {
        return true;
    }
    asio::error_code error;
    m_socket.open(asio::ip::udp::v4(), error);
    if (!error && m_endpoint.address().is_multicast()) {
        m_socket.set_option(asio::ip::multicast::hops(m_plan.request.multicastTtl), error);
        if (!error && m_plan.request.multicastInterface != 0) {
            m_socket.set_option(asio::ip::multicast::outbound_interface(
                                    asio::ip::address_v4(m_plan.request.multicastInterface)),
                                error);
        }
    }
    if (!error) {
        m_socket.non_blocking(true, error);
    }
    if (error) {
        if (!m_bToldSocket) {
            m_bToldSocket = true;
            Tell("cannot set up a UDP socket: " + error.message());
        }
        asio::error_code ignored;
        m_socket.close(ignored);
        m_bBroadcast = false;
        return false;
    }
    return true;
}

void CUdpLane::Transmit() {
    if (!Open()) {
        LineDone(false);
        return;
    }
    m_nAt = 0;
    SendDatagrams();
}

void CUdpLane::SendDatagrams() {
    const std::string_view data = Outgoing();
    for (;;) {
        const std::size_t size = std::min(data.size() - m_nAt, CUdpSender::kMaxDatagram);
        asio::error_code error;
        m_socket.send_to(asio::buffer(data.data() + m_nAt, size), m_endpoint, 0, error);
        if (error == asio::error::would_block || error == asio::error::try_again) {
            // The socket's buffer is full: the rest once it has room.
            m_socket.async_wait(asio::ip::udp::socket::wait_write,
                                [this](const asio::error_code& waitError) {
                                    if (waitError) {
                                        LineDone(false);
                                    } else {
                                        SendDatagrams();
                                    }
                                });
            return;
        }
        if (error == asio::error::access_denied && !m_bBroadcast) {
            // Only a broadcast address is refused this way: the socket asks for leave once.
            m_bBroadcast = true;
            m_socket.set_option(asio::socket_base::broadcast(true), error);
            continue;
        }
        if (error) {
            LineDone(false);
            return;
        }
        m_nAt += size;
        if (m_nAt >= data.size()) {
            break;  // a line of no bytes is one empty datagram
        }
    }
    PieceOut([this] {
        m_nAt = 0;
        SendDatagrams();
    });
}

void CUdpLane::Interrupt() {
    asio::error_code ignored;
    m_socket.cancel(ignored);
}

void CUdpLane::Shutdown(bool bAtOnce) {
    // After a stop the socket is left to the end of the rig, as a TCP lane's connection is.
    if (!bAtOnce) {
        asio::error_code ignored;
        m_socket.close(ignored);
    }
    TransportClosed();
}
