#include "platform/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>

bool RaiseCadencePriority() {
    // The lowest real-time priority is enough to run before every ordinary thread, and leaves
    // every real-time thread of the system (audio, the kernel's own) before this one.
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO);
    return ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &param) == 0;
}

void RestoreOrdinaryPriority() {
    sched_param param{};
    param.sched_priority = 0;
    ::pthread_setschedparam(::pthread_self(), SCHED_OTHER, &param);
}
