// SIGINT, SIGTERM and SIGHUP for the command line: blocked in every thread and taken by a watcher
// thread with sigwait, which raises the request.
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/Interrupt.h"
#include "platform/InterruptSource.h"

namespace {
sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void WatchSignals(sigset_t set) {
    for (;;) {
        int signalNumber = 0;
        if (::sigwait(&set, &signalNumber) == 0) {
            RaiseInterrupt(signalNumber);
        }
    }
}
}  // namespace

bool HoldInterruptEvents() {
    const sigset_t set = StopSignals();
    return ::pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

void ReleaseInterruptEvents() {
    const sigset_t set = StopSignals();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool StartInterruptSource() {
    try {
        std::thread(WatchSignals, StopSignals()).detach();
    } catch (...) {
        ReleaseInterruptEvents();
        return false;
    }
    return true;
}

const char* InterruptExitCodesText() {
    return "130 stopped by Ctrl-C, 143 by SIGTERM, 129 by SIGHUP";
}

void EndProcessAtOnce(int exitCode, const char* notice) {
    // Nothing that could wait for a lock held by a stuck thread: no stdio. The notice goes out
    // only when standard error can take it now (output nobody reads must not hold the end up);
    // one short write is all or nothing on a pipe.
    pollfd output{STDERR_FILENO, POLLOUT, 0};
    if (::poll(&output, 1, 0) == 1 && (output.revents & POLLOUT) != 0) {
        [[maybe_unused]] const ssize_t written =
            ::write(STDERR_FILENO, notice, std::strlen(notice));
    }
    ::_exit(exitCode);
}
