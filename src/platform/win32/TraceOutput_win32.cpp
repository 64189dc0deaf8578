#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/TraceOutput.h"

void WriteTraceText(const char* text) {
    std::fprintf(stderr, "%s\n", text);
    // A program started from Explorer has no standard error: the debugger's output is where a
    // trace can still be seen (DebugView, or the debugger itself).
    OutputDebugStringA((std::string(text) + "\n").c_str());
}
