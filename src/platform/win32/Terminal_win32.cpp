#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/Terminal.h"

bool IsTerminal(StandardStream stream) {
    const HANDLE handle =
        GetStdHandle(stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    // A console answers GetConsoleMode; a file, a pipe or nothing does not.
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode) != 0;
}

void SetStandardStreamsBinary() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}
