#include "engine/PaceSchedule.h"

#include <algorithm>

namespace {
constexpr CPaceSchedule::Clock::duration kLongestAllowance = std::chrono::milliseconds(1);
}  // namespace

CPaceSchedule::Clock::duration CPaceSchedule::Allowance(Clock::duration delay) {
    return std::min<Clock::duration>(kLongestAllowance, delay / 4);
}

CPaceSchedule::Clock::time_point CPaceSchedule::NextDue(Clock::duration delay,
                                                        Clock::time_point sentAt) {
    const bool bHeldUp = sentAt - m_waitEnded > Allowance(delay);
    const bool bVeryLate = sentAt - m_due > delay / 2;
    if (m_bScheduled && !bHeldUp && !bVeryLate) {
        m_due += delay;
    } else {
        m_due = sentAt + delay;
    }
    m_bScheduled = true;
    return m_due;
}

void CPaceSchedule::WaitEnded(Clock::time_point endedAt) {
    m_waitEnded = endedAt;
}
