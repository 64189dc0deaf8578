#include <cstdio>

#include "platform/TraceOutput.h"

void WriteTraceText(const char* text) {
    std::fprintf(stderr, "%s\n", text);
}
