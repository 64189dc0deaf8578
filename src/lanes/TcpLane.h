#pragma once
// A lane that plays to a receiving device over a TCP connection it opens itself, as `play --tcp`
// does, except that it connects before the rig's clock starts rather than at its first line: it
// connects again before the line after a break or a failed connect; a connect that fails at a
// line, or a send that breaks, loses that line. A line goes out as soon as the connection
// takes it; a device that reads slowly holds up this lane alone. With a wait for the device's
// answer, what it sent before a line is dropped and what it sends after is read until the answer
// is complete; a connection that breaks meanwhile leaves the line unanswered.
// Threads and failures: as CLane.
#include <asio/ip/tcp.hpp>

#include "lanes/Lane.h"

class CTcpLane : public CLane {
  public:
    CTcpLane(asio::io_context& io, const LanePlan& plan, std::shared_ptr<const CPlayFile> file,
             LaneEvents events);

  private:
    void OpenAhead(std::function<void()> opened) override;
    void Transmit() override;
    void Interrupt() override;
    void Shutdown(bool bAtOnce) override;
    void ReadForAnswer() override;
    void StopReading() override { m_bReading = false; }

    // Connects, then calls `then` with whether the connection was made.
    void Connect(std::function<void(bool bConnected)> then);
    // Writes the rest of the current piece from `nAt` on, without waiting when the connection
    // takes it at once.
    void Write(std::size_t nAt);
    // Waits for the device's bytes while the answer is awaited (one wait at a time).
    void WaitForAnswerBytes();
    // The connection broke: the line is lost, the next one connects again.
    void Broken();

    asio::basic_stream_socket<asio::ip::tcp, Executor> m_socket;
    const asio::ip::tcp::endpoint m_endpoint;
    bool m_bConnected = false;
    bool m_bConnecting = false;
    bool m_bToldSocket = false;  // a socket that could not be had has been told of
    CReplyMatcher m_matcher;
    bool m_bReading = false;    // the answer to the line just sent is awaited
    bool m_bWaitArmed = false;  // a wait for the device's bytes is pending
};
