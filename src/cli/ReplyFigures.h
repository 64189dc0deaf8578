#pragma once
// What a run that waits for the device's answer to each line learned of the answers: lines
// answered and not, and the answers' times (mean and 99th percentile of those answered). Plain
// data.
#include <cstdint>

struct ReplyFigures {
    std::uint64_t answered = 0;
    std::uint64_t unanswered = 0;
    double meanMs = 0;
    double p99Ms = 0;
};
