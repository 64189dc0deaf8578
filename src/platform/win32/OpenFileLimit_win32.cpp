#include "platform/OpenFileLimit.h"

// Handles of files and sockets are limited only by the system's memory, not per process.
std::optional<std::uint64_t> RaiseOpenFileLimit() {
    return std::nullopt;
}
