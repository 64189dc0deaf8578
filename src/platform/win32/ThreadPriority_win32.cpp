#include "platform/ThreadPriority.h"

#include <windows.h>

bool RaiseCadencePriority() {
    return ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST) != 0;
}

void RestoreOrdinaryPriority() {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}
