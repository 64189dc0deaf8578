#pragma once
// The --interface of a multicast sender (play) or member (receive): the address it names must
// be one of this machine's own, since the system would otherwise refuse it only when the first
// datagram goes out or the group is joined, long after the flags were read. Checked before
// anything is sent or joined. Main thread; failures are results, nothing throws.
#include <cstdint>
#include <optional>
#include <string>

struct InterfaceRefusal {
    int exitCode = 1;  // 2 for an address that is not this machine's, 1 when the world failed
    std::string message;
};

// Resolves `given` (an address or a name) into `dwAddr` (host byte order) and checks that this
// machine holds that address. Empty when it may be used.
std::optional<InterfaceRefusal> CheckMulticastInterface(const std::string& given,
                                                        std::uint32_t& dwAddr);
