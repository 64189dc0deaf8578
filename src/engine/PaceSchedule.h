#pragma once
// When the next line of a paced run is due: the pacing rule that every driver of a run shares
// (the run thread of the window and of `play`, and the lanes of a rig). It only computes times;
// the driver waits with its own timer and tells the schedule when that wait ended. One thread
// uses a schedule; nothing here fails or throws.
//
// The rule keeps every two lines at least the delay apart, the pause counted from the moment a
// line has gone out, without letting a timer's small lateness add up over a long file: while the
// lines go out as their waits end, line k+1 is due one delay after line k was due, a fixed
// schedule without drift, even when the timer wakes a little late every time (Wine's timers wake
// in whole milliseconds). A line that was held up after its wait ended (a connect, a box the user
// had to dismiss, a send held up by a slow receiver) or that is more than half a delay late
// starts the schedule afresh from the moment it went out: the next line waits a whole delay and
// never follows it back to back to catch up. The first line of a run starts the schedule from
// its send, so the time its transport took to open never shortens the pause after it; unless the
// driver waited before it (StartAt), when it is judged as any line after a pause.
#include <chrono>

class CPaceSchedule {
  public:
    using Clock = std::chrono::steady_clock;

    // The line just sent went out at `sentAt`; returns when the next line is due, `delay` after
    // it (`delay` > 0).
    Clock::time_point NextDue(Clock::duration delay, Clock::time_point sentAt);

    // The wait for the line now due ended at `endedAt` (late or not): what happens between then
    // and the line's send is what the next NextDue judges.
    void WaitEnded(Clock::time_point endedAt);

    // The next line starts a schedule of its own (after a line sent without a pause).
    void Reset() { m_bScheduled = false; }
    // The line about to go out was due at `due`, after a wait the driver kept before the first
    // line (a lane's start offset): the schedule counts from then, as after any pause, unless
    // that line is held up after its wait (see WaitEnded).
    void StartAt(Clock::time_point due) {
        m_bScheduled = true;
        m_due = due;
    }

    // How much later than the end of its wait a line may go out and still keep the schedule: a
    // quarter of the delay and at most a millisecond, so that two lines never come noticeably
    // closer than the delay.
    static Clock::duration Allowance(Clock::duration delay);

  private:
    bool m_bScheduled = false;  // m_due is the time the line just sent was due
    Clock::time_point m_due{};
    Clock::time_point m_waitEnded{};
};
