// The pacing rule alone, with made-up times: when the next line is due after lines that went out
// on time, a little late, held up, or very late.
#include <gtest/gtest.h>

#include <chrono>

#include "engine/PaceSchedule.h"

namespace {
using namespace std::chrono_literals;
using Clock = CPaceSchedule::Clock;

TEST(PaceScheduleTest, LatenessOfTheTimerNeverAddsUpButAHoldUpStartsAfresh) {
    struct Case {
        const char* what;
        Clock::duration wokeLate;     // how late every wait ends
        Clock::duration heldUp;       // from the end of the wait to the send
        Clock::duration dueOfLine11;  // from the first line's send (lines counted from 0)
    };
    const Case cases[] = {
        {"on time", 0ms, 0ms, 110ms},
        // Wine's timers wake in whole milliseconds: a fixed schedule all the same.
        {"timer 1.5 ms late", 1500us, 50us, 110ms},
        {"timer 4.9 ms late", 4900us, 0us, 110ms},
        // Past half a delay the line was really late: each starts afresh from its send.
        {"timer 6 ms late", 6ms, 0us, 10 * (10ms + 6ms) + 10ms},
        // A connect or a slow send after the wait: afresh from the send as well.
        {"held up 2 ms", 0ms, 2ms, 10 * (10ms + 2ms) + 10ms},
        {"held up within the allowance", 0ms, 900us, 110ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CPaceSchedule schedule;
        const Clock::time_point start{};
        Clock::time_point sentAt = start;  // the first line is sent at once
        Clock::time_point due{};
        for (int line = 0; line < 10; ++line) {
            due = schedule.NextDue(10ms, sentAt);
            const Clock::time_point waitEnded = due + c.wokeLate;
            schedule.WaitEnded(waitEnded);
            sentAt = waitEnded + c.heldUp;
        }
        due = schedule.NextDue(10ms, sentAt);
        EXPECT_EQ(due - start, c.dueOfLine11);
        // Whatever happened, the next line never comes less than half a delay after this one.
        EXPECT_GE(due - sentAt, 5ms);
    }
}

TEST(PaceScheduleTest, TheFirstLineAndALineAfterAResetStartTheScheduleUnlessTheyWaited) {
    CPaceSchedule schedule;
    const Clock::time_point t{};
    // The first line went out 300 ms into the run (its connect took that long).
    EXPECT_EQ(schedule.NextDue(10ms, t + 300ms), t + 310ms);
    schedule.WaitEnded(t + 310ms);
    EXPECT_EQ(schedule.NextDue(10ms, t + 310ms), t + 320ms);
    schedule.Reset();
    schedule.WaitEnded(t + 320ms);
    EXPECT_EQ(schedule.NextDue(10ms, t + 320ms + 100us), t + 330ms + 100us);

    // A first line that waited for its start (a lane's offset, due at 50 ms) keeps to the time
    // it was due when it goes out within the allowance of its wait's end...
    CPaceSchedule offset;
    offset.StartAt(t + 50ms);
    offset.WaitEnded(t + 50ms + 400us);
    EXPECT_EQ(offset.NextDue(10ms, t + 50ms + 900us), t + 60ms);
    // ...and starts afresh from its send when it was held up after it (a connect at that line).
    CPaceSchedule heldUp;
    heldUp.StartAt(t + 50ms);
    heldUp.WaitEnded(t + 50ms);
    EXPECT_EQ(heldUp.NextDue(10ms, t + 53ms), t + 63ms);
}
}  // namespace
