#pragma once
// A few small captures in every layout the capture reader knows, each with the packets it holds
// as a person worked them out from the layout (not as any reader reports them), so that the
// program's reader and libpcap can both be held against them. Test use only.
#include <cstdint>
#include <string>
#include <vector>

struct ExpectedPacket {
    std::int64_t timeNs = 0;  // 0 for a packet without a time
    bool bTimed = true;
    std::uint32_t linkType = 0;
    std::string bytes;  // what the file keeps
    std::uint32_t originalLength = 0;
};

struct SampleCapture {
    std::string name;  // also a file name: letters, digits and '-'
    std::string bytes;
    std::vector<ExpectedPacket> packets;
    // libpcap reads it (it does not read sections of another byte order than the first).
    bool bLibpcapReads = true;
};

// 2026-12-06 05:59:12 UTC, the seconds of the samples' first stamps.
inline constexpr std::int64_t kSampleSecond = 1796536752;

std::vector<SampleCapture> SampleCaptures();
