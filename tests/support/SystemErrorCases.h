#pragma once
// This system's own error numbers that mean different things to a file, a socket and a serial
// port, with what each of the program's codes must make of them: the cases of the error test,
// one list per system (errno values; Windows system and Windows Sockets codes). Test use only.
#include <cstdint>
#include <vector>

#include "platform/FileError.h"
#include "platform/Socket.h"

struct SystemErrorCase {
    std::uint32_t number;  // the system's own
    FileError file;        // FileErrorOf
    SocketError socket;    // SocketErrorOf
    std::uint32_t serial;  // SerialErrorOf
    int showWindow;        // ShowWindowResultOf
};

std::vector<SystemErrorCase> SystemErrorCases();
