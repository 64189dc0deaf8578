#include "lanes/TcpLane.h"

#include <array>

#include <asio/post.hpp>
#include <asio/write.hpp>

#include "transport/TCPClient.h"

namespace {
// What the device sends is read at most this much at a time, so that one that floods the lane
// does not keep the loop from the other lanes.
constexpr std::size_t kReadPerTurn = 64 * 1024;

// Where a loop thread reads a device's answer: each read is handed to the matcher at once, so one
// buffer per thread serves all its lanes (a rig may hold thousands of them).
std::array<char, 4096>& AnswerBytes() {
    thread_local std::array<char, 4096> bytes;
    return bytes;
}
}  // namespace

CTcpLane::CTcpLane(asio::io_context& io, const LanePlan& plan,
                   std::shared_ptr<const CPlayFile> file, LaneEvents events)
    : CLane(io, plan, std::move(file), std::move(events)),
      m_socket(m_executor),
      m_endpoint(asio::ip::address_v4(plan.address), plan.port),
      m_matcher(plan.request.waitFor) {}

void CTcpLane::Transmit() {
    if (m_bConnected) {
        if (m_matcher.Enabled()) {
            // What the device sent before this line answers nothing. A connection that ended
            // shows when the line is written.
            asio::error_code error;
            for (std::size_t taken = 0; !error && taken < kReadPerTurn;) {
                taken += m_socket.read_some(asio::buffer(AnswerBytes()), error);
            }
            m_matcher.Reset();
        }
        Write(0);
    } else {
        Connect([this](bool bConnected) {
            if (bConnected) {
                Write(0);
            } else {
                LineDone(false);  // the next line tries again
            }
        });
    }
}

void CTcpLane::OpenAhead(std::function<void()> opened) {
    Connect([opened = std::move(opened)](bool) { opened(); });
}

void CTcpLane::Connect(std::function<void(bool bConnected)> then) {
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
        then(false);
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
    m_socket.async_connect(m_endpoint,
                           [this, then = std::move(then)](const asio::error_code& connectError) {
                               m_bConnecting = false;
                               m_timer.cancel();
                               if (connectError) {
                                   asio::error_code ignored;
                                   m_socket.close(ignored);
                                   then(false);
                                   return;
                               }
                               asio::error_code ignored;
                               m_socket.non_blocking(true, ignored);
                               if (CharDelayed()) {
                                   // A byte at a time must go out as such, not gathered into fewer
                                   // segments.
                                   m_socket.set_option(asio::ip::tcp::no_delay(true), ignored);
                               }
                               m_matcher.Reset();
                               m_bConnected = true;
                               ++m_nConnections;
                               then(true);
                           });
}

void CTcpLane::Write(std::size_t nAt) {
    const std::string_view data = Outgoing().substr(nAt);
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
        PieceOut([this] { Write(0); });
        return;
    }
    // The connection's buffer is full: the rest when the device has read some.
    asio::async_write(m_socket, asio::buffer(data.data() + written, data.size() - written),
                      [this](const asio::error_code& writeError, std::size_t) {
                          if (writeError) {
                              Broken();
                          } else {
                              PieceOut([this] { Write(0); });
                          }
                      });
}

void CTcpLane::ReadForAnswer() {
    m_bReading = true;
    WaitForAnswerBytes();
}

void CTcpLane::WaitForAnswerBytes() {
    if (m_bWaitArmed || !m_bConnected) {
        return;
    }
    m_bWaitArmed = true;
    m_socket.async_wait(asio::ip::tcp::socket::wait_read, [this](const asio::error_code& error) {
        m_bWaitArmed = false;
        if (error || !m_bReading || !m_bConnected) {
            return;  // closed, stopped, or the wait is over: the next line drops what came
        }
        for (std::size_t taken = 0;;) {
            if (taken >= kReadPerTurn) {
                // A device that floods the lane waits for the loop's next turn.
                WaitForAnswerBytes();
                return;
            }
            asio::error_code readError;
            std::array<char, 4096>& bytes = AnswerBytes();
            const std::size_t count = m_socket.read_some(asio::buffer(bytes), readError);
            if (readError == asio::error::would_block || readError == asio::error::try_again) {
                WaitForAnswerBytes();
                return;
            }
            if (readError) {
                // The device closed or reset the connection: no answer is coming; the next line
                // connects again.
                asio::error_code ignored;
                m_socket.close(ignored);
                m_bConnected = false;
                AnswerLost();
                return;
            }
            taken += count;
            if (m_matcher.Feed(std::string_view(bytes.data(), count))) {
                Answered();
                return;
            }
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
