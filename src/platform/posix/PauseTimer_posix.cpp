#include "platform/PauseTimer.h"

#include <condition_variable>
#include <mutex>

CPauseTimer::CPauseTimer() = default;

CPauseTimer::~CPauseTimer() = default;

bool CPauseTimer::WaitUntil(std::chrono::steady_clock::time_point due,
                            const std::stop_token& stop) {
    // Nothing ever notifies the variable: only the time limit or the stop ends the wait.
    std::mutex mutex;
    std::condition_variable_any pause;
    std::unique_lock lock(mutex);
    pause.wait_until(lock, stop, due, [] { return false; });
    return !stop.stop_requested();
}
