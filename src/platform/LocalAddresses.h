#pragma once
// The IPv4 addresses this machine's own interfaces hold, loopback included: the addresses a
// multicast sender or member may name as its interface. Unicast addresses only, each once, in
// the order the system lists them; an interface that is down still counts, since its address is
// still this machine's. Any thread; a failure to list them is the system's error value, nothing
// throws.
#include <cstdint>
#include <vector>

#include "platform/SystemError.h"

// Fills `addresses` (host byte order). A failure when the system would not list them.
SystemError ListLocalIPv4Addresses(std::vector<std::uint32_t>& addresses);
