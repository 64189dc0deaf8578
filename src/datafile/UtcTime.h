#pragma once
// A capture's packet time as people read it: UTC, "YYYY-MM-DD HH:MM:SS.uuuuuu" (microseconds,
// the figure tcpdump shows). Pure; any thread; never fails.
#include <cstdint>
#include <string>

// `timeNs`: nanoseconds since 1970-01-01 00:00:00 UTC (earlier times are negative); the part
// below a microsecond is dropped (rounded down).
std::string FormatUtcMicroseconds(std::int64_t timeNs);
