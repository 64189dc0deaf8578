#include "lanes/Lane.h"

#include <algorithm>
#include <asio/post.hpp>
#include <utility>

#include "datafile/PlayFile.h"
#include "engine/ListPaging.h"
#include "engine/PlaybackHost.h"
#include "lanes/LoopPriority.h"

namespace {
// Many lanes each hold a reader: a small buffer each (a lane reads a line or a piece at a time).
constexpr std::size_t kLaneReadBuffer = 4096;
// The pieces a long raw line is read and sent in.
constexpr std::size_t kLanePiece = 64 * 1024;
// A looping file that played no line in its pass (empty, or a marker alone) is looked at again
// after this long instead of again and again.
constexpr std::chrono::milliseconds kEmptyPassWait{100};

// Lanes due within the same tick are woken together: a wait ends on the next tick of a grid (a
// millisecond, or a sixteenth of a shorter pause's) rather than at its exact due time, so that
// thousands of lanes cost a wake-up of their thread per tick rather than one each. Within the
// tick the lanes go out in the order they were due, every time the same, so that their intervals
// keep to the pause: each wait ends after the tick by its due time's place in the tick scaled
// down a thousandfold (all within a microsecond). The schedule keeps the exact due times; a wait
// that ends less than a tick late keeps to it (see CPaceSchedule).
constexpr std::chrono::microseconds kTimerTick{1000};
constexpr int kOrderScale = 1024;

CLane::Clock::time_point OnTick(CLane::Clock::time_point due, CLane::Clock::duration gap) {
    using Duration = CLane::Clock::duration;
    const Duration tick = std::min<Duration>(kTimerTick, gap / 16);
    if (tick <= Duration::zero()) {
        return due;
    }
    const Duration since = due.time_since_epoch();
    const Duration tickAfter = (since + tick - Duration(1)) / tick * tick;
    const Duration intoTick = since - (tickAfter - tick);  // (0, tick]
    return CLane::Clock::time_point(tickAfter + intoTick / kOrderScale);
}
}  // namespace

CLane::CLane(asio::io_context& io, const LanePlan& plan, std::shared_ptr<const CPlayFile> file,
             LaneEvents events)
    : m_executor(io.get_executor()),
      m_timer(m_executor),
      m_plan(plan),
      m_source(plan.request, kLaneReadBuffer),
      m_file(std::move(file)),
      m_events(std::move(events)),
      m_notices(*plan.pHost),
      m_charTimer(m_executor),
      m_replyTimer(m_executor) {}

CLane::~CLane() = default;

void CLane::Start() {
    asio::post(m_executor, [this] { Begin(); });
}

void CLane::RequestStop() {
    asio::post(m_executor, [this] {
        if (m_bEnded || m_bStopping) {
            return;
        }
        m_bStopping = true;
        m_timer.cancel();
        m_charTimer.cancel();
        m_replyTimer.cancel();
        Interrupt();
    });
}

std::size_t CLane::PieceSize() const {
    return kLanePiece;
}

void CLane::Begin() {
    if (m_bStopping) {
        Finish();
        return;
    }
    if (m_file == nullptr || m_source.OpenShared(m_file) != FileError::None) {
        Fail("cannot read '" + m_plan.request.path + "'");
        return;
    }
    m_plan.pHost->ShowRunStart();
    if (!Prepare()) {
        return;
    }
    // The first line is read before the clock starts too, so that the start costs each lane no
    // more than its timer: thousands of reads then would hold up the lanes due first.
    OpenAhead([this] {
        NextLine();
        Opened();
    });
}

void CLane::Opened() {
    if (!m_bOpened) {
        m_bOpened = true;
        m_events.opened();
    }
}

void CLane::Go(Clock::time_point clockStart) {
    m_clockStart = clockStart;
    m_bClockStarted = true;
    // Without a line read yet (a looping file that is empty for now) its wait goes on.
    if (std::exchange(m_bLineRead, false)) {
        DispatchLine();
    }
}

void CLane::NextLine() {
    if (m_bFinishing) {
        return;
    }
    if (m_bStopping) {
        Finish();
        return;
    }
    // The last line asked for has had its pause: the lane ends as at the end of its file.
    const std::uint64_t limit = m_plan.request.lineLimit;
    if (limit != 0 && m_notices.Lines() >= limit) {
        Finish();
        return;
    }
    const std::size_t nPiece = PieceSize();
    CLineSource::Result result = m_source.ReadLine(nPiece);
    if (result == CLineSource::Result::EndOfFile) {
        if (!m_plan.bLoop) {
            Finish();
            return;
        }
        if (m_source.Rewind() != FileError::None) {
            Fail("cannot read '" + m_plan.request.path + "'");
            return;
        }
        if (m_nIndex > 0) {
            m_notices.Flush();
            m_plan.pHost->ShowRewind(m_nIndex - 1);
            m_nIndex = 0;
            result = m_source.ReadLine(nPiece);
        }
        if (result == CLineSource::Result::EndOfFile) {
            // A pass that played nothing has no pause to give the loop away: look again later.
            m_timer.expires_after(kEmptyPassWait);
            m_timer.async_wait([this](const asio::error_code&) { NextLine(); });
            return;
        }
    }
    if (result != CLineSource::Result::Line) {
        Fail("cannot read '" + m_plan.request.path + "'");
        return;
    }
    if (std::optional<std::string> cut = m_source.TakeCutNotice()) {
        m_plan.pHost->ShowPayloadCut(*cut);
    }
    m_gap = m_source.PauseAfterLine(m_plan.delay);
    DispatchLine();
}

void CLane::DispatchLine() {
    if (!m_bClockStarted) {
        m_bLineRead = true;  // Go sends it
        return;
    }
    if (m_bFinishing) {
        return;
    }
    if (m_bStopping) {
        Finish();
        return;
    }
    if (m_bFirstLine) {
        m_bFirstLine = false;
        const Clock::duration offset =
            m_plan.startAfter
                ? Clock::duration(*m_plan.startAfter)
                : std::chrono::duration_cast<Clock::duration>(m_gap * m_plan.startFraction);
        if (m_plan.kind != LanePlan::Kind::kListen && offset > Clock::duration::zero()) {
            // The start offset is the first line's pause: the schedule counts from when the line
            // was due, and the wait ends on the grid, as every later one does.
            const Clock::time_point due = m_clockStart + offset;
            m_schedule.StartAt(due);
            m_timer.expires_at(OnTick(due, m_gap));
            m_timer.async_wait([this](const asio::error_code&) {
                if (!m_bFinishing) {
                    m_schedule.WaitEnded(Clock::now());
                }
                ResumeLine();
            });
            return;
        }
    }
    if (Ready()) {
        SendLine();
    }
}

void CLane::ResumeLine() {
    if (m_bFinishing) {
        return;
    }
    if (m_bStopping) {
        Finish();
        return;
    }
    if (Ready()) {
        SendLine();
    }
}

void CLane::SendLine() {
    m_nCharAt = 0;
    m_notices.BeforeSend(m_nIndex, ProgressPercent(m_nIndex, m_plan.request.lineCount),
                         m_gap == Clock::duration::zero(), m_source.Stamp());
    Transmit();
}

bool CLane::NextPiece() {
    if (m_source.ReadPiece(PieceSize()) != CLineSource::Result::Line) {
        Tell("cannot read '" + m_plan.request.path + "'");
        m_bReadFailed = true;
        return false;
    }
    return true;
}

std::string_view CLane::Outgoing() const {
    const std::string_view data = m_source.Data();
    if (!CharDelayed()) {
        return data;
    }
    return data.substr(std::min(m_nCharAt, data.size()), 1);
}

bool CLane::OutgoingEndsLine() const {
    return m_source.LineEnded() && (!CharDelayed() || m_nCharAt + 1 >= m_source.Data().size());
}

bool CLane::AdvanceOutgoing() {
    m_lastByteAt = Clock::now();
    if (CharDelayed() && m_nCharAt + 1 < m_source.Data().size()) {
        ++m_nCharAt;
        return true;
    }
    m_nCharAt = 0;
    return NextPiece();
}

void CLane::WhenOutgoingDue(std::function<void()> sendNext) {
    auto go = [this, sendNext = std::move(sendNext)] {
        if (m_bFinishing) {
            return;
        }
        if (Stopping()) {
            LineDone(false);  // the stop came between two pieces or bytes
        } else {
            sendNext();
        }
    };
    if (CharDelayed()) {
        m_charTimer.expires_at(m_lastByteAt + m_plan.request.charDelay);
        m_charTimer.async_wait([go = std::move(go)](const asio::error_code&) { go(); });
    } else {
        // Through the loop, so that the other lanes get their turn between two pieces.
        asio::post(m_executor, std::move(go));
    }
}

void CLane::PieceOut(std::function<void()> sendNext) {
    if (OutgoingEndsLine()) {
        LineDone(true);
        return;
    }
    // A stop ends a long line between two pieces; it counts as lost.
    if (Stopping() || !AdvanceOutgoing()) {
        LineDone(false);
        return;
    }
    WhenOutgoingDue(std::move(sendNext));
}

void CLane::LineDone(bool bDelivered) {
    if (m_bFinishing) {
        return;
    }
    // A long line that could not go out whole is read past, so that the next line begins where
    // it should (a stop leaves it: the file is closed anyway): a piece per turn of the loop, so
    // that the other lanes are not held up meanwhile.
    if (!m_source.LineEnded() && !m_bStopping && !m_bReadFailed) {
        if (NextPiece()) {
            asio::post(m_executor, [this, bDelivered] { LineDone(bDelivered); });
            return;
        }
    }
    const Clock::duration zero = Clock::duration::zero();
    const bool bPaced = m_gap != zero || m_plannedGap != zero;
    const Clock::time_point sentAt = bPaced ? Clock::now() : Clock::time_point{};
    m_notices.AfterSend(bDelivered);
    if (m_plannedGap != zero) {
        m_plan.pHost->OnLinePaced(sentAt - m_previousSentAt, m_plannedGap);
    }
    m_plannedGap = m_gap;
    m_previousSentAt = sentAt;
    ++m_nIndex;
    if (m_bStopping || m_bReadFailed) {
        Finish();
        return;
    }
    m_bPauseOver = false;
    if (bDelivered && !m_plan.request.waitFor.empty()) {
        // The pause runs meanwhile; the next line goes when both are over.
        m_bAwaitingReply = true;
        m_lineSentAt = bPaced ? sentAt : Clock::now();
        m_replyTimer.expires_at(m_lineSentAt + m_plan.request.replyTimeout);
        m_replyTimer.async_wait([this](const asio::error_code& error) {
            // Cancelled because the answer came (a later line's wait may be running by now):
            // nothing to do. Otherwise the time-out, or a stop.
            if (!m_bFinishing && (!error || m_bStopping)) {
                ReplyEnded(false);
            }
        });
        ReadForAnswer();
    }
    if (m_gap > zero) {
        m_due = m_schedule.NextDue(m_gap, sentAt);
        m_timer.expires_at(OnTick(m_due, m_gap));
        m_timer.async_wait([this](const asio::error_code&) {
            if (m_bFinishing) {
                return;
            }
            const Clock::time_point ended = Clock::now();
            m_schedule.WaitEnded(ended);
            CheckLoopThreadLateness(m_due, ended, m_gap);
            PauseOver();
        });
    } else {
        // The next delayed line starts a schedule of its own; meanwhile the other lanes get
        // their turn before this one sends again.
        m_schedule.Reset();
        asio::post(m_executor, [this] { PauseOver(); });
    }
}

void CLane::PauseOver() {
    m_bPauseOver = true;
    if (!m_bAwaitingReply) {
        NextLine();
    }
}

void CLane::ReplyEnded(bool bAnswered) {
    if (!m_bAwaitingReply) {
        return;
    }
    m_bAwaitingReply = false;
    m_replyTimer.cancel();
    StopReading();
    if (!m_bStopping) {
        m_plan.pHost->OnLineAnswered(
            bAnswered, bAnswered ? Clock::now() - m_lineSentAt : Clock::duration::zero());
    }
    if (m_bPauseOver && !m_bFinishing) {
        NextLine();
    }
}

void CLane::Tell(const std::string& text) {
    if (m_strFailure.empty()) {
        m_strFailure = text;
    }
    m_plan.pHost->ShowMessage(text, "");
}

void CLane::Fail(const std::string& text) {
    Tell(text);
    Finish();
}

void CLane::Finish() {
    if (m_bFinishing) {
        return;
    }
    m_bFinishing = true;
    Opened();  // a lane that ends before Go does not hold the others' clock
    m_timer.cancel();
    m_charTimer.cancel();
    m_replyTimer.cancel();
    m_notices.Flush();
    m_source.Close();
    Shutdown(m_bStopping);
}

void CLane::TransportClosed() {
    if (m_bEnded) {
        return;
    }
    m_bEnded = true;
    m_file.reset();
    m_plan.pHost->OnRunEnded(1);
    m_events.ended();
}
