#pragma once
// IPv4 addresses as the socket back ends hand them to the system: BSD sockets and Windows Sockets
// share the calls and the structures, so both back ends make and look up addresses here. For the
// back ends only (the rest of the program takes addresses as numbers in host byte order). Any
// thread; failures are returned, nothing throws. On Windows the socket library must have been
// started (AcquireSocketLibrary) before a lookup.
#include <cstdint>
#include <string>

struct sockaddr_in;

// The IPv4 socket address of `dwAddr` and `wPort`, both in host byte order.
sockaddr_in MakeAddress(std::uint32_t dwAddr, std::uint16_t wPort);

// Looks `host` up as a dotted IPv4 address or a name (the name's first IPv4 address, into
// `dwAddr` in host byte order). False when it cannot be resolved, with the status the system's
// getaddrinfo gave in `status` (0 when it answered with no address at all); the back end says
// what that status means, as its system words it.
bool LookUpIPv4Host(const std::string& host, std::uint32_t& dwAddr, int& status);
