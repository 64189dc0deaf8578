#include "platform/Interrupt.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/Trace.h"

namespace {
struct InterruptState {
    std::atomic<bool> bRequested{false};
    std::atomic<int> nSignal{0};
    std::atomic<int> hEvent{-1};
    // The limits' watch: woken when a signal raised the request and when the command confirms
    // that it has stopped.
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

// Lives for the whole process: the watcher thread may still run while static objects are
// destroyed at exit, so the state is never destroyed.
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
    if (const int fd = state.hEvent.load(); fd >= 0) {
        const uint64_t one = 1;
        while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
        }
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

void WatchSignals(sigset_t set) {
    for (;;) {
        int signalNumber = 0;
        if (::sigwait(&set, &signalNumber) != 0) {
            continue;
        }
        // Only the first one counts; the limits below end the program if it does not stop.
        Raise(signalNumber);
    }
}

// Ends the program at once when it has not stopped within the limits after a signal. A thread of
// its own, so that neither a callback nor anything the command waits for can hold it up.
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
    // notice goes out only when standard error can take it now (output nobody reads must not
    // hold the end up); one short write is all or nothing on a pipe.
    const char* reason = bStopped ? ": the end steps took longer than 2 s after the signal\n"
                                  : ": the work did not stop within 80 ms of the signal\n";
    pollfd output{STDERR_FILENO, POLLOUT, 0};
    if (::poll(&output, 1, 0) == 1 && (output.revents & POLLOUT) != 0) {
        iovec parts[2] = {
            {const_cast<char*>(kInterruptCutNotice), std::strlen(kInterruptCutNotice)},
            {const_cast<char*>(reason), std::strlen(reason)}};
        [[maybe_unused]] const ssize_t written = ::writev(STDERR_FILENO, parts, 2);
    }
    ::_exit(128 + state.nSignal.load());
}
}  // namespace

bool InstallInterruptWatch() {
    InterruptState& state = State();
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        Trace("[%s][InstallInterruptWatch] ERROR - eventfd(%d)", kProgramName, errno);
        return false;
    }
    state.hEvent.store(fd);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
        return false;
    }
    try {
        // The limits' watch first: once signals are taken, nothing may be able to hold them off.
        std::thread(WatchLimits).detach();
        std::thread(WatchSignals, set).detach();
    } catch (...) {
        ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
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
    return State().hEvent.load();
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
