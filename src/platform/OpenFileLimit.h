#pragma once
// How many files this process may hold open at once (files, sockets and the like all count):
// Linux gives every process a limit (`ulimit -n`, often 1,024) that the process may raise up to
// a hard limit the system sets; Windows has no such limit on files and sockets.
// Any thread; nothing throws.
#include <cstdint>
#include <optional>

// Raises the limit to the most this process is allowed and returns the limit now in force;
// empty when the system sets none. A raise the system refuses leaves the limit as it was.
std::optional<std::uint64_t> RaiseOpenFileLimit();
