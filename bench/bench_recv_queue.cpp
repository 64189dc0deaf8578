// Receive queue throughput for 64-byte lines: how fast received chunks become queued lines
// (push) and how fast a consumer takes them out again (pop). Each round pushes as many lines as
// the 10240-byte bound admits, in chunks of several lines, then pops them all.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "transport/RecvQueue.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double pushSeconds = 0;
    double popSeconds = 0;
    std::uint64_t bytes = 0;
    std::uint64_t lines = 0;
};

Figures Run(int linesPerChunk, int rounds) {
    std::string line(62, 'x');
    line += "\r\n";
    std::string chunk;
    for (int i = 0; i < linesPerChunk; ++i) {
        chunk += line;
    }
    // Each line is stored as 65 bytes (its zero byte counts): this many chunks fit the bound.
    const int chunksPerRound = static_cast<int>(CRecvQueue::kMaxTotalBytes / (65u * linesPerChunk));

    CRecvQueue queue;
    Figures figures;
    for (int round = 0; round < rounds; ++round) {
        const auto pushStart = Clock::now();
        for (int c = 0; c < chunksPerRound; ++c) {
            if (queue.QPushData(reinterpret_cast<const std::uint8_t*>(chunk.data()),
                                static_cast<std::uint32_t>(chunk.size())) != 0) {
                std::fprintf(stderr, "unexpected refusal\n");
                std::exit(1);
            }
        }
        const auto popStart = Clock::now();
        std::uint8_t* pData = nullptr;
        int nSize = 0;
        while (queue.QPopData(&pData, &nSize) == 0) {
            delete[] pData;
            ++figures.lines;
        }
        const auto end = Clock::now();
        figures.pushSeconds += std::chrono::duration<double>(popStart - pushStart).count();
        figures.popSeconds += std::chrono::duration<double>(end - popStart).count();
        figures.bytes += static_cast<std::uint64_t>(chunksPerRound) * chunk.size();
    }
    return figures;
}

}  // namespace

int main() {
    std::printf("receive queue, 64-byte lines\n");
    std::printf("%-16s %12s %12s %14s %14s\n", "lines per chunk", "push MB/s", "pop MB/s",
                "push lines/s", "pop lines/s");
    for (const int linesPerChunk : {1, 4, 16, 64}) {
        const Figures figures = Run(linesPerChunk, 20000 / linesPerChunk + 2000);
        const double megabytes = static_cast<double>(figures.bytes) / 1e6;
        std::printf("%-16d %12.1f %12.1f %14.0f %14.0f\n", linesPerChunk,
                    megabytes / figures.pushSeconds, megabytes / figures.popSeconds,
                    static_cast<double>(figures.lines) / figures.pushSeconds,
                    static_cast<double>(figures.lines) / figures.popSeconds);
    }
    return 0;
}
