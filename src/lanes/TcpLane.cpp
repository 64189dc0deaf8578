#include "lanes/TcpLane.h"

#include <asio/post.hpp>
#include <asio/write.hpp>

#include "transport/TCPClient.h"

CTcpLane::CTcpLane(asio::io_context& io, const LanePlan& plan,
                   std::shared_ptr<const CPlayFile> file, std::function<void()> onEnded)
    : CLane(io, plan, std::move(file), std::move(onEnded)),
      m_socket(m_executor),
      m_endpoint(asio::ip::address_v4(plan.address), plan.port) {}

void CTcpLane::Transmit() {
    if (m_bConnected) {
        Write(0);
    } else {
        Connect();
    }
}

void CTcpLane::Connect() {
    asio::error_code error;
    if (m_socket.is_open()) {
        m_socket.close(error);
    }
    m_socket.open(asio::ip::tcp::v4(), error);
    if (error) {
        if (!m_bToldSocket) {
            m_bToldSocket = true;
            Tell("cannot open a socket: " + error.message());
        }
        LineDone(false);
        return;
    }
    m_bConnecting = true;
    // The window's own limit on a connect that gets no answer.
    m_timer.expires_after(CTCPClient::kDefaultConnectTimeout);
    m_timer.async_wait([this](const asio::error_code& waitError) {
        if (!waitError && m_bConnecting) {
            asio::error_code ignored;
            m_socket.close(ignored);
        }
    });
    m_socket.async_connect(m_endpoint, [this](const asio::error_code& connectError) {
        m_bConnecting = false;
        m_timer.cancel();
        if (connectError) {
            // Nothing accepted the connection: the line is lost; the next one tries again.
            asio::error_code ignored;
            m_socket.close(ignored);
            LineDone(false);
            return;
        }
        asio::error_code ignored;
        m_socket.non_blocking(true, ignored);
        m_bConnected = true;
        ++m_nConnections;
        Write(0);
    });
}

void CTcpLane::Write(std::size_t nAt) {
    const std::string_view data = m_source.Data().substr(nAt);
    asio::error_code error;
    std::size_t written = 0;
    if (!data.empty()) {
        written = m_socket.write_some(asio::buffer(data.data(), data.size()), error);
        if (error == asio::error::would_block || error == asio::error::try_again) {
            error.clear();
        }
    }
    if (error) {
        Broken();
        return;
    }
    if (written == data.size()) {
        PieceWritten();
        return;
    }
    // The connection's buffer is full: the rest when the device has read some.
    asio::async_write(m_socket, asio::buffer(data.data() + written, data.size() - written),
                      [this](const asio::error_code& writeError, std::size_t) {
                          if (writeError) {
                              Broken();
                          } else {
                              PieceWritten();
                          }
                      });
}

void CTcpLane::PieceWritten() {
    if (m_source.LineEnded()) {
        LineDone(true);
        return;
    }
    // A stop ends a long line between two pieces; it counts as lost.
    if (Stopping() || !NextPiece()) {
        LineDone(false);
        return;
    }
    // Through the loop, so that the other lanes get their turn between two pieces.
    asio::post(m_executor, [this] {
        if (Stopping()) {
            LineDone(false);  // the stop came between two pieces
        } else {
            Write(0);
        }
    });
}

void CTcpLane::Broken() {
    asio::error_code ignored;
    m_socket.close(ignored);
    m_bConnected = false;
    LineDone(false);
}

void CTcpLane::Interrupt() {
    // A connect or a write in progress ends now; the connection itself is closed with the lane.
    asio::error_code ignored;
    m_socket.cancel(ignored);
    m_bConnecting = false;
}

void CTcpLane::Shutdown(bool bAtOnce) {
    // After a stop the connection is left to the end of the rig (the lane's destruction): closing
    // thousands of connections takes longer than a stop may.
    if (!bAtOnce && m_socket.is_open()) {
        // What the connection took is on its way; the close does not take it back.
        asio::error_code ignored;
        m_socket.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
        m_socket.close(ignored);
    }
    m_bConnected = false;
    TransportClosed();
}
