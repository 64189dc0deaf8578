#pragma once
// The pause between two sent lines: waits until a point in time with the finest timer the system
// offers, or until a stop is requested, whichever comes first. On Windows a high-resolution
// waitable timer (a plain wait would round up to the system tick of 15.6 ms and miss the
// cadence); on Linux a condition variable, whose timed waits are already that fine.
// One thread uses a timer; the stop may be requested from any thread. Nothing here throws; a
// timer that could not be set up waits on the system's ordinary clock.
#include <chrono>
#include <cstdint>
#include <stop_token>

class CPauseTimer {
  public:
    CPauseTimer();
    ~CPauseTimer();
    CPauseTimer(const CPauseTimer&) = delete;
    CPauseTimer& operator=(const CPauseTimer&) = delete;

    // Returns true when `due` has come, false when `stop` was requested first (or already was).
    bool WaitUntil(std::chrono::steady_clock::time_point due, const std::stop_token& stop);

  private:
    // The waitable timer and the event a stop sets, on Windows; Linux needs neither.
    [[maybe_unused]] std::intptr_t m_hTimer = -1;
    [[maybe_unused]] std::intptr_t m_hWake = -1;
};
