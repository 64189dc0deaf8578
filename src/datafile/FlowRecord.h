#pragma once
// What a flow of a capture gives for replay: records, each the bytes to send and when (the
// capture's time), and for TCP the holes where bytes never reached the capture. Plain values;
// any thread.
#include <cstdint>
#include <string>

struct FlowRecord {
    std::string bytes;
    std::int64_t timeNs = 0;   // nanoseconds since 1970-01-01 UTC; never before the previous record
    std::uint64_t packet = 0;  // the packet (number from 1) whose arrival let these bytes go out
};

// Bytes of a TCP stream that the capture never saw: the receiver got them, the capture did not.
struct FlowGap {
    std::uint32_t sequence = 0;  // the TCP sequence number of the first missing byte
    std::uint64_t bytes = 0;     // how many are missing
    std::int64_t timeNs = 0;     // time of the packet holding the bytes right after the hole
    std::uint64_t packet = 0;    // that packet's number
};
