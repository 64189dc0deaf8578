#include "lanes/LoopPriority.h"

#include <algorithm>

#include "platform/ThreadPriority.h"

namespace {
thread_local bool t_bRaised = false;
thread_local std::chrono::steady_clock::time_point t_raisedAt;

// Behind by this much (or by half a pause, if less), the thread has more to do than it can.
constexpr std::chrono::milliseconds kFallenBehind{20};
// Except in the lanes' first second: thousands of first lines and the system's first work for
// each connection may hold a thread up once without its lanes asking more than it can give
// afterwards.
constexpr std::chrono::seconds kStartingUp{1};
}  // namespace

bool RaiseLoopThread(bool bPacedOnly) {
    t_bRaised = bPacedOnly && RaiseCadencePriority();
    t_raisedAt = std::chrono::steady_clock::now();
    return t_bRaised;
}

void CheckLoopThreadLateness(std::chrono::steady_clock::time_point due,
                             std::chrono::steady_clock::time_point ended,
                             std::chrono::steady_clock::duration gap) {
    if (t_bRaised && ended - t_raisedAt > kStartingUp &&
        ended - due > std::min<std::chrono::steady_clock::duration>(kFallenBehind, gap / 2)) {
        LowerLoopThread();
    }
}

void LowerLoopThread() {
    if (t_bRaised) {
        RestoreOrdinaryPriority();
        t_bRaised = false;
    }
}
