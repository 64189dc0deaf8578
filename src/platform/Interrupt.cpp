#include "platform/Interrupt.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/InterruptSource.h"
#include "platform/Trace.h"

namespace {
struct InterruptState {
    std::atomic<bool> bRequested{false};
    std::atomic<int> nSignal{0};
    // Created by InstallInterruptWatch before any other thread runs, then only set.
    CWakeEvent wake;
    // The limits' watch: woken when a stop event raised the request and when the command
    // confirms that it has stopped.
    std::mutex limitMutex;
    std::condition_variable limitChanged;
    bool bSignalled = false;      // under limitMutex
    bool bStopConfirmed = false;  // under limitMutex
    std::mutex mutex;             // guards callback
    // Held while a callback runs, so that replacing the callback also waits for one in flight:
    // whoever removes it may then destroy what it pointed at.
    std::mutex running;
    std::function<void()> callback;
};

// Lives for the whole process: the system's source may still raise a request while static
// objects are destroyed at exit, so the state is never destroyed.
InterruptState& State() {
    static InterruptState* state = new InterruptState();
    return *state;
}

// Ends the program at once when it has not stopped within the limits after a stop event. A
// thread of its own, so that neither a callback nor anything the command waits for can hold it up.
void WatchLimits() {
    InterruptState& state = State();
    std::unique_lock lock(state.limitMutex);
    state.limitChanged.wait(lock, [&state] { return state.bSignalled; });
    const auto signalled = std::chrono::steady_clock::now();
    const bool bStopped = state.limitChanged.wait_until(lock, signalled + kInterruptStopLimit,
                                                        [&state] { return state.bStopConfirmed; });
    if (bStopped) {
        state.limitChanged.wait_for(lock, kInterruptEndLimit, [] { return false; });
    }
    // Made before anything runs out, so the end itself allocates nothing.
    static const std::string stoppedLate =
        std::string(kInterruptCutNotice) +
        ": the end steps took longer than 2 s after the signal\n";
    static const std::string neverStopped =
        std::string(kInterruptCutNotice) + ": the work did not stop within 80 ms of the signal\n";
    EndProcessAtOnce(128 + state.nSignal.load(),
                     bStopped ? stoppedLate.c_str() : neverStopped.c_str());
}
}  // namespace

void RaiseInterrupt(int signalNumber) {
    InterruptState& state = State();
    if (state.bRequested.exchange(true)) {
        return;  // the first request wins; the limits end the program if it does not stop
    }
    state.nSignal.store(signalNumber);
    if (signalNumber != 0) {
        {
            std::lock_guard lock(state.limitMutex);
            state.bSignalled = true;
        }
        state.limitChanged.notify_all();
    }
    state.wake.Set();
    std::lock_guard running(state.running);
    std::function<void()> callback;
    {
        std::lock_guard lock(state.mutex);
        callback.swap(state.callback);
    }
    if (callback) {
        callback();
    }
}

bool InstallInterruptWatch() {
    if (const SystemError error = State().wake.Create(); error.Failed()) {
        Trace("[%s][InstallInterruptWatch] ERROR - wake event(%u)", kProgramName, error.number);
        return false;
    }
    if (!HoldInterruptEvents()) {
        return false;
    }
    try {
        // The limits' watch first: once stop events are taken, nothing may hold them off.
        std::thread(WatchLimits).detach();
    } catch (...) {
        ReleaseInterruptEvents();
        return false;
    }
    return StartInterruptSource();
}

void ConfirmInterruptStop() {
    InterruptState& state = State();
    {
        std::lock_guard lock(state.limitMutex);
        state.bStopConfirmed = true;
    }
    state.limitChanged.notify_all();
}

void RequestInterrupt() {
    RaiseInterrupt(0);
}

bool IsInterruptRequested() {
    return State().bRequested.load();
}

int InterruptSignalNumber() {
    return State().nSignal.load();
}

const CWakeEvent& InterruptWakeEvent() {
    return State().wake;
}

void SetInterruptCallback(std::function<void()> callback) {
    InterruptState& state = State();
    std::lock_guard running(state.running);
    {
        std::lock_guard lock(state.mutex);
        if (!state.bRequested.load()) {
            state.callback = std::move(callback);
            return;
        }
        state.callback = nullptr;
    }
    if (callback) {
        callback();
    }
}
