#pragma once
// The port a listening play or rig lane got from the system, read from its notice on standard
// error. Test use only.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ChildProcess.h"

// Waits for "listening on tcp 127.0.0.1:NNNN" and returns the port (0 when it never came).
inline std::uint16_t ListeningPort(ChildProcess& child) {
    const std::string line = child.WaitForStderrLine("listening on ");
    const std::size_t colon = line.rfind(':');
    return colon == std::string::npos
               ? 0
               : static_cast<std::uint16_t>(std::atoi(line.c_str() + colon + 1));
}
