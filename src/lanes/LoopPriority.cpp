#include "lanes/LoopPriority.h"

#include <algorithm>
#include <cstdint>

#include "platform/ThreadPriority.h"

namespace {
using Clock = std::chrono::steady_clock;

thread_local bool t_bRaised = false;
// The thread's waits are judged a second at a time: how many ended in the current second, and
// how many of them ended a long way after their time.
thread_local Clock::time_point t_secondStart;
thread_local std::uint64_t t_nWaits = 0;
thread_local std::uint64_t t_nLateWaits = 0;
thread_local bool t_bFirstSecond = true;

// A wait that ends this much after its time (or half its pause, if less) is late.
constexpr std::chrono::milliseconds kLate{20};
// Judged over this long, so that a single hold-up (the machine's own, a burst of the system's
// network work) costs only the lines it held up: a thread that has more to do than it can is
// late nearly all the time.
constexpr std::chrono::seconds kJudgedOver{1};
}  // namespace

bool RaiseLoopThread(bool bPacedOnly) {
    t_bRaised = bPacedOnly && RaiseCadencePriority();
    t_secondStart = Clock::now();
    t_nWaits = 0;
    t_nLateWaits = 0;
    t_bFirstSecond = true;
    return t_bRaised;
}

void CheckLoopThreadLateness(Clock::time_point due, Clock::time_point ended, Clock::duration gap) {
    if (!t_bRaised) {
        return;
    }
    ++t_nWaits;
    if (ended - due > std::min<Clock::duration>(kLate, gap / 2)) {
        ++t_nLateWaits;
    }
    if (ended - t_secondStart < kJudgedOver) {
        return;
    }
    // The lanes' first second is not judged: thousands of first lines and the system's first
    // work for each connection may hold a thread up once.
    const bool bBehind = !t_bFirstSecond && t_nLateWaits * 2 > t_nWaits;
    t_secondStart = ended;
    t_nWaits = 0;
    t_nLateWaits = 0;
    t_bFirstSecond = false;
    if (bBehind) {
        LowerLoopThread();
    }
}

bool IsLoopThreadRaised() {
    return t_bRaised;
}

void LowerLoopThread() {
    if (t_bRaised) {
        RestoreOrdinaryPriority();
        t_bRaised = false;
    }
}
