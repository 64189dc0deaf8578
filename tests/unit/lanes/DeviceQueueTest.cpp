// A listen lane's queue of what a device has not taken yet: bytes in order across pieces shared
// with other devices, lines counted only once their last byte is written, and the bound past
// which a device counts as not reading.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "lanes/DeviceQueue.h"

namespace {
using namespace std::chrono_literals;
using Clock = CDeviceQueue::Clock;

std::shared_ptr<const std::string> Bytes(const std::string& text) {
    return std::make_shared<const std::string>(text);
}

TEST(DeviceQueueTest, BytesComeOutInOrderAndALineCountsWhenItsLastByteIsWritten) {
    CDeviceQueue queue;
    const Clock::time_point t{};
    const auto shared = Bytes("TOTAL 12.50\n");
    queue.Push(Bytes("a long line, first pie"), 2, false, t);  // its first 2 bytes went at once
    queue.Push(Bytes("ce\n"), 0, true, t);
    queue.Push(Bytes(""), 0, true, t);  // a line of no bytes
    queue.Push(shared, 0, true, t);
    EXPECT_EQ(queue.Bytes(), 20u + 3u + 12u);
    EXPECT_EQ(queue.Front(), "long line, first pie");

    std::string written;
    std::uint64_t lines = 0;
    // As a connection takes them: a few bytes at a time, across the pieces.
    for (const std::size_t chunk : {5u, 15u, 2u, 1u, 7u, 5u}) {
        const std::string_view front = queue.Front();
        const std::size_t count = std::min(chunk, front.size());
        written += front.substr(0, count);
        lines += queue.Consume(count);
        if (written.size() == 20 + 2) {
            EXPECT_EQ(lines, 0u) << "a line counts only with its last byte";
        }
    }
    EXPECT_EQ(written, "long line, first piece\nTOTAL 12.50\n");
    EXPECT_EQ(lines, 3u);
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(queue.Bytes(), 0u);
    // The piece shared with another device's queue is left as it was.
    EXPECT_EQ(*shared, "TOTAL 12.50\n");
}

TEST(DeviceQueueTest, ADeviceIsOverTheBoundPastAMebibyteOrTenSecondsOfLines) {
    const Clock::time_point t{};
    struct Case {
        const char* what;
        std::size_t queued;        // bytes queued at t
        Clock::duration lookedAt;  // how long after t the bound is looked at
        bool bOver;
    };
    const Case cases[] = {
        {"a little, just now", 1000, 0s, false},
        {"exactly a mebibyte", CDeviceQueue::kMaxQueuedBytes, 0s, false},
        {"a byte more", CDeviceQueue::kMaxQueuedBytes + 1, 0s, true},
        {"a little, ten seconds ago", 1000, 10s, false},
        {"a little, longer ago", 1000, 10s + 1ms, true},
        {"nothing, long ago", 0, 60s, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDeviceQueue queue;
        if (c.queued > 0) {
            queue.Push(Bytes(std::string(c.queued, 'x')), 0, true, t);
        }
        EXPECT_EQ(queue.OverBound(t + c.lookedAt), c.bOver);
    }
    // Written out, the device is within the bound again.
    CDeviceQueue queue;
    queue.Push(Bytes(std::string(CDeviceQueue::kMaxQueuedBytes + 10, 'x')), 0, true, t);
    ASSERT_TRUE(queue.OverBound(t));
    EXPECT_EQ(queue.Consume(100), 0u);
    EXPECT_FALSE(queue.OverBound(t));
}
}  // namespace
