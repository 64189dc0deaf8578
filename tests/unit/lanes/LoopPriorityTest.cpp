// When a lanes' loop thread gives its raised priority up: only when it has stayed behind its
// lanes, most of a second's waits ending a long way late, and never for the lanes' first second
// or for a single hold-up. The waits are told to the rule with made-up times on a real thread.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "lanes/LoopPriority.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct LatenessCase {
    std::string name;
    Clock::duration gap;
    // How late a wait ends at `second` (from the raise) and `slot` (of 100 waits in that second).
    Clock::duration (*lateness)(int second, int slot);
    bool bStillRaised;
};

TEST(LoopPriorityTest, AThreadGivesItsPriorityUpOnlyWhenItStaysBehind) {
    const LatenessCase cases[] = {
        {"on time", 100ms, [](int, int) -> Clock::duration { return 200us; }, true},
        {"one 40 ms hold-up in the third second", 100ms,
         [](int second, int slot) -> Clock::duration {
             return second == 2 && slot < 4 ? 40ms : 200us;
         },
         true},
        {"behind through the first second only", 100ms,
         [](int second, int) -> Clock::duration { return second == 0 ? 60ms : 200us; }, true},
        {"behind from the second second on", 100ms,
         [](int second, int) -> Clock::duration { return second >= 1 ? 30ms : 200us; }, false},
        {"half a short pause late, most of the time", 20ms,
         [](int, int slot) -> Clock::duration { return slot % 4 != 0 ? 11ms : 0ms; }, false},
        {"late now and then", 100ms,
         [](int, int slot) -> Clock::duration { return slot % 3 == 0 ? 25ms : 200us; }, true},
    };
    for (const LatenessCase& c : cases) {
        SCOPED_TRACE(c.name);
        // On a thread of its own: the priority and the rule's record belong to the thread.
        bool bRaised = false;
        bool bStillRaised = false;
        std::thread thread([&] {
            bRaised = RaiseLoopThread(true);
            const Clock::time_point raised = Clock::now();
            for (int second = 0; bRaised && second < 4; ++second) {
                for (int slot = 0; slot < 100; ++slot) {
                    const Clock::time_point due = raised + second * 1s + slot * 10ms;
                    CheckLoopThreadLateness(due, due + c.lateness(second, slot), c.gap);
                }
            }
            bStillRaised = IsLoopThreadRaised();
            LowerLoopThread();
        });
        thread.join();
        if (!bRaised) {
            GTEST_SKIP() << "this user may not raise a thread's priority";
        }
        EXPECT_EQ(bStillRaised, c.bStillRaised);
    }
}
}  // namespace
