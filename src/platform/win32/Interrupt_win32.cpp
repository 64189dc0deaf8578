// The console's control events for the command line. The system runs the handler on a thread of
// its own, which is where the request is raised, like the watcher thread on Linux.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Interrupt.h"
#include "platform/Trace.h"

namespace {
// The signals the console events stand for (see Interrupt.h).
constexpr int kSignalHangUp = 1;
constexpr int kSignalInterrupt = 2;
constexpr int kSignalTerminate = 15;
constexpr int kSignalBreak = 21;

// After a close, logoff or shutdown event the system ends the process as soon as the handler
// returns (and after about 5 s in any case), so the handler waits here for the run's end-of-run
// steps and the normal exit, which ends the process with the program's own exit code.
constexpr DWORD kEndOfRunWaitMs = 10000;

struct InterruptState {
    std::atomic<bool> bRequested{false};
    std::atomic<int> nSignal{0};
    std::atomic<HANDLE> hEvent{nullptr};
    // The limits' watch: woken when a console event raised the request and when the command
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

// Lives for the whole process: the handler may still run while static objects are destroyed at
// exit, so the state is never destroyed.
InterruptState& State() {
    static InterruptState* state = new InterruptState();
    return *state;
}

void Raise(int signalNumber) {
    InterruptState& state = State();
    if (state.bRequested.exchange(true)) {
        return;
    }
    state.nSignal.store(signalNumber);
    if (signalNumber != 0) {
        {
            std::lock_guard lock(state.limitMutex);
            state.bSignalled = true;
        }
        state.limitChanged.notify_all();
    }
    if (const HANDLE event = state.hEvent.load(); event != nullptr) {
        SetEvent(event);
    }
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

// Ends the program at once when it has not stopped within the limits after a console event. A
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
    // Nothing that could wait for a lock held by a stuck thread: no stdio, no destructors. The
    // notice is written by a thread of its own and given a moment: output nobody reads must not
    // hold the end up (Windows cannot tell beforehand whether a pipe takes the line).
    static std::string notice;
    notice = std::string(kInterruptCutNotice) +
             (bStopped ? ": the end steps took longer than 2 s after the signal\n"
                       : ": the work did not stop within 80 ms of the signal\n");
    const HANDLE writer = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            DWORD written = 0;
            WriteFile(GetStdHandle(STD_ERROR_HANDLE), notice.data(),
                      static_cast<DWORD>(notice.size()), &written, nullptr);
            return 0;
        },
        nullptr, 0, nullptr);
    if (writer != nullptr) {
        WaitForSingleObject(writer, 20);
    }
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(128 + state.nSignal.load()));
}

// The one place where a console event becomes the program's number for it.
int SignalNumberOfEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return kSignalInterrupt;
        case CTRL_BREAK_EVENT:
            return kSignalBreak;
        case CTRL_CLOSE_EVENT:
            return kSignalHangUp;
        default:  // CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT
            return kSignalTerminate;
    }
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    Raise(SignalNumberOfEvent(event));
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        Sleep(kEndOfRunWaitMs);
    }
    return TRUE;
}
}  // namespace

bool InstallInterruptWatch() {
    InterruptState& state = State();
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        Trace("[%s][InstallInterruptWatch] ERROR - CreateEvent(%lu)", kProgramName, GetLastError());
        return false;
    }
    state.hEvent.store(event);
    try {
        std::thread(WatchLimits).detach();
    } catch (...) {
        return false;
    }
    if (!SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) {
        Trace("[%s][InstallInterruptWatch] ERROR - SetConsoleCtrlHandler(%lu)", kProgramName,
              GetLastError());
        return false;
    }
    return true;
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
    Raise(0);
}

bool IsInterruptRequested() {
    return State().bRequested.load();
}

int InterruptSignalNumber() {
    return State().nSignal.load();
}

intptr_t InterruptWaitHandle() {
    const HANDLE event = State().hEvent.load();
    return event == nullptr ? -1 : reinterpret_cast<intptr_t>(event);
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
