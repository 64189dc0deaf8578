#include "platform/Trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/TraceOutput.h"

bool IsTraceEnabled() {
    static const bool enabled = [] {
        const char* value = std::getenv("TILLSTREAM_TRACE");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

void Trace(const char* format, ...) {
    if (!IsTraceEnabled()) {
        return;
    }
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // One write per text so that lines of different threads never interleave.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    WriteTraceText(text);
}
