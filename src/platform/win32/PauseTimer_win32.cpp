#include <windows.h>

#include <algorithm>

#include "platform/PauseTimer.h"

namespace {
// Windows 10 1803 and later; MinGW's headers do not have the name yet.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
constexpr DWORD CREATE_WAITABLE_TIMER_HIGH_RESOLUTION = 0x00000002;
#endif

HANDLE Native(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t Stored(HANDLE handle) {
    return handle == nullptr ? -1 : reinterpret_cast<std::intptr_t>(handle);
}
}  // namespace

CPauseTimer::CPauseTimer() {
    // High resolution (Windows 10 1803 and later): the timer fires within a fraction of a
    // millisecond of its time instead of at the next system tick. Older systems refuse the flag
    // and get the ordinary timer.
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    if (timer == nullptr) {
        timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }
    m_hTimer = Stored(timer);
    m_hWake = Stored(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

CPauseTimer::~CPauseTimer() {
    if (m_hTimer != -1) {
        CloseHandle(Native(m_hTimer));
    }
    if (m_hWake != -1) {
        CloseHandle(Native(m_hWake));
    }
}

bool CPauseTimer::WaitUntil(std::chrono::steady_clock::time_point due,
                            const std::stop_token& stop) {
    using namespace std::chrono;
    if (m_hWake == -1) {
        return false;  // no way to be woken by a stop: do not wait at all
    }
    ResetEvent(Native(m_hWake));
    std::stop_callback onStop(stop, [this] { SetEvent(Native(m_hWake)); });
    for (;;) {
        if (stop.stop_requested()) {
            return false;
        }
        const auto left = due - steady_clock::now();
        if (left <= steady_clock::duration::zero()) {
            return true;
        }
        // Relative times are negative, in units of 100 ns.
        const auto ticks = duration_cast<nanoseconds>(left).count() / 100;
        LARGE_INTEGER relative{};
        relative.QuadPart = -(ticks > 0 ? ticks : 1);
        HANDLE handles[2] = {Native(m_hWake), Native(m_hTimer)};
        DWORD count = 2;
        DWORD waitMs = INFINITE;
        if (m_hTimer == -1 ||
            !SetWaitableTimer(Native(m_hTimer), &relative, 0, nullptr, nullptr, FALSE)) {
            // No timer: the wait's own time limit, at the system tick's resolution. A pause
            // longer than a DWORD of milliseconds (49 days) is waited in parts by the loop.
            count = 1;
            constexpr long long kLongestWaitMs = 0x7FFFFFFF;
            waitMs = static_cast<DWORD>(std::min(ceil<milliseconds>(left).count(), kLongestWaitMs));
        }
        WaitForMultipleObjects(count, handles, FALSE, waitMs);
    }
}
