#pragma once
// Trace output for failure paths and for the start and end of worker threads.
// Any thread may call it. Nothing depends on it: by default every text is discarded;
// TILLSTREAM_TRACE=1 in the environment sends each text, with a line end, to standard error (and
// on Windows also to the debugger's output).

#if defined(__MINGW32__)
// MinGW's "printf" is the system library's older one; the build uses the C99 one (%zu).
#define TILLSTREAM_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define TILLSTREAM_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define TILLSTREAM_PRINTF_FORMAT(fmt, args)
#endif

// The program's name: the first argument of the "[%s]..." trace texts, the caption of
// most message boxes and the title of the window.
inline constexpr const char* kProgramName = "Tillstream";

void Trace(const char* format, ...) TILLSTREAM_PRINTF_FORMAT(1, 2);

// True when trace texts are written anywhere (read once from the environment).
bool IsTraceEnabled();
