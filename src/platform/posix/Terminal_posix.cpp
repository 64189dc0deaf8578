#include "platform/Terminal.h"

#include <unistd.h>

bool IsTerminal(StandardStream stream) {
    return ::isatty(stream == StandardStream::kOutput ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

void SetStandardStreamsBinary() {
    // Bytes pass unchanged here already.
}
