#pragma once
// One lane on the lanes' event loop: the driver of a run, with the run thread's rules. It reads
// its lines from a CLineSource, keeps them to the CPaceSchedule with the loop's timer, tells its
// host through CLineNotices and measures its own cadence against its own schedule; the transport
// (a subclass: TCP client, UDP, listening) only sends each line and reports when it is out. With
// a delay between characters the lane hands the transport one byte at a time, each on a timer;
// with a wait for the device's answer the next line waits for the transport's word that the
// answer came (or for the reply time-out) as well as for the pause.
//
// A lane first opens its transport (a TCP lane connects), says so, and waits for Go: the rig's
// clock starts once every lane is open, so that the first lines go out at their planned times
// rather than each after a connect of its own, which with thousands of lanes would bunch them.
//
// Threads: Start and RequestStop may be called from any thread (they post to the lane's loop);
// everything else runs on the one thread that serves that loop. The lane object outlives every
// handler: its owner destroys it only after the loop's threads have ended.
// Failures: a lane that cannot play tells its host and ends; Failure() says why.
#include <asio/basic_waitable_timer.hpp>
#include <asio/io_context.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/LineNotices.h"
#include "engine/LineSource.h"
#include "engine/PaceSchedule.h"
#include "engine/ReplyMatcher.h"
#include "lanes/LanePlan.h"

class CPlayFile;

// What a lane tells its owner, each once and on the lane's loop.
struct LaneEvents {
    std::function<void()> opened;  // the lane is ready for Go (or has ended before it)
    std::function<void()> ended;   // the host has been told that the lane ended
};

class CLane {
  public:
    using Clock = std::chrono::steady_clock;
    // A lane lives on one loop (an io_context served by one thread), and its objects are bound to
    // that loop by type rather than through a type-erased executor: with thousands of lanes every
    // operation's dispatch counts.
    using Executor = asio::io_context::executor_type;
    using Timer = asio::basic_waitable_timer<Clock, asio::wait_traits<Clock>, Executor>;

    // `file`: the lane's data file, open for playback.
    CLane(asio::io_context& io, const LanePlan& plan, std::shared_ptr<const CPlayFile> file,
          LaneEvents events);
    virtual ~CLane();
    CLane(const CLane&) = delete;
    CLane& operator=(const CLane&) = delete;

    // The lane begins: it opens its transport, then waits for Go.
    void Start();
    // On the lane's loop: the rig's clock starts at `clockStart`; the first line goes out its
    // start offset after it (or, listening, when a device has connected).
    void Go(Clock::time_point clockStart);
    void RequestStop();
    const std::string& Failure() const { return m_strFailure; }
    // Connections the lane made or took (TCP); 0 for datagrams.
    std::uint64_t Connections() const { return m_nConnections; }

  protected:
    // --- for the transports ------------------------------------------------------------------
    // The line now due (m_source.Data(), the first piece of a long raw line) is to go out. The
    // transport sends it, reading the next pieces of a long line with NextPiece, and calls
    // LineDone once the line is out or lost. A listening transport may first wait for a device.
    virtual void Transmit() = 0;
    // Before the first line; false (after Fail) when the transport cannot be set up.
    virtual bool Prepare() { return true; }
    // Before the rig's clock starts: a transport that connects tries to now, and calls `opened`
    // once the attempt is over, made or not (a line finds the transport as it is).
    virtual void OpenAhead(std::function<void()> opened) { opened(); }
    // Just before a line goes out: whether it can (a listening transport needs a device). When
    // not, the transport calls ResumeLine once it can.
    virtual bool Ready() { return true; }
    // A stop: cut what is in progress short (close the sockets), so that a pending handler ends.
    virtual void Interrupt() = 0;
    // The lane is over: close the transport, at once (`bAtOnce`: a stop) or after what is queued
    // has been written, then call TransportClosed.
    virtual void Shutdown(bool bAtOnce) = 0;

    // The line handed to Transmit is out (`bDelivered`: the device or devices took it whole) or
    // lost. The pause after it begins.
    void LineDone(bool bDelivered);
    // The line held back by Ready goes out now (or, after a stop, the lane ends).
    void ResumeLine();
    // The next piece of the long raw line being sent into m_source.Data(); false when the file
    // could not be read (the lane then ends; the transport sends nothing more of the line).
    bool NextPiece();

    // What the transport sends now: the current piece of the line, or with a delay between
    // characters the one byte now due; and whether it is the end of the line.
    std::string_view Outgoing() const;
    bool OutgoingEndsLine() const;
    // The transport has handed over Outgoing(). At the end of the line that is LineDone(true);
    // otherwise `sendNext` sends what follows once it is due (the next piece on the loop's next
    // turn, so that the other lanes get theirs; the next byte after the character delay). A stop
    // meanwhile, or a piece that cannot be read, loses the line.
    void PieceOut(std::function<void()> sendNext);
    // The parts of PieceOut, for a transport that waits for room between pieces: moves Outgoing()
    // on (false: the piece could not be read), and runs `sendNext` when it is due.
    bool AdvanceOutgoing();
    void WhenOutgoingDue(std::function<void()> sendNext);
    bool CharDelayed() const { return m_plan.request.charDelay.count() > 0; }

    // --- the device's answer, with a wait for one (the request's waitFor) ------------------------
    // The line has gone out: read what the device or devices send until the answer is complete,
    // then call Answered(); or AnswerLost() when no device is left to answer. Not called for a
    // line that no device took.
    virtual void ReadForAnswer() {}
    // The wait is over (answered, timed out, stopped): what arrives from now on is not read.
    virtual void StopReading() {}
    void Answered() { ReplyEnded(true); }
    void AnswerLost() { ReplyEnded(false); }
    // Tells the host `text` as a message the user must see (once per lane and cause, as the
    // caller decides) and marks the lane as one that did not play as asked.
    void Tell(const std::string& text);
    // The lane cannot go on: tells why and ends.
    void Fail(const std::string& text);
    void TransportClosed();
    // The transport's sends: pieces of this size for a long raw line.
    virtual std::size_t PieceSize() const;

    bool Stopping() const { return m_bStopping; }
    // Before a wait of unknown length: the host learns the latest line and totals.
    void FlushNotices() { m_notices.Flush(); }

    Executor m_executor;
    Timer m_timer;  // the pause; a transport may use it while a line is going out
    const LanePlan m_plan;
    CLineSource m_source;
    std::uint64_t m_nConnections = 0;

  private:
    void Begin();
    void Opened();
    // Reads the next line, then dispatches it.
    void NextLine();
    // The line read is to go out: after the start offset (the first line), once the transport is
    // ready, or (before Go) when the clock starts.
    void DispatchLine();
    void SendLine();
    void Finish();
    // The pause after a line, or the wait for its answer, has ended: the next line goes when both
    // have.
    void PauseOver();
    void ReplyEnded(bool bAnswered);

    std::shared_ptr<const CPlayFile> m_file;
    LaneEvents m_events;
    bool m_bOpened = false;
    bool m_bClockStarted = false;
    bool m_bLineRead = false;  // before Go: the first line has been read
    Clock::time_point m_clockStart{};
    CPaceSchedule m_schedule;
    CLineNotices m_notices;
    Clock::duration m_gap{};         // the pause after the line being sent
    Clock::duration m_plannedGap{};  // the pause planned before it (zero: none)
    Clock::time_point m_previousSentAt{};
    Clock::time_point m_due{};  // when the line after the pause is due
    Timer m_charTimer;          // the delay between two bytes of a line
    Timer m_replyTimer;         // the reply time-out
    std::size_t m_nCharAt = 0;  // with a character delay: the byte of the piece now due
    Clock::time_point m_lastByteAt{};
    Clock::time_point m_lineSentAt{};  // of the line whose answer is awaited
    bool m_bAwaitingReply = false;
    bool m_bPauseOver = false;
    int m_nIndex = 0;  // the line's place in the current pass
    bool m_bFirstLine = true;
    bool m_bStopping = false;
    bool m_bFinishing = false;
    bool m_bEnded = false;
    bool m_bReadFailed = false;  // a piece of a long line could not be read: the lane ends
    std::string m_strFailure;
};
