#pragma once
// The bytes a listen lane has yet to write to one device: whatever the device's connection did
// not take at once, in order, each piece with the time it was queued and whether it ends a line.
// A device that stops reading is dropped once its queue passes a bound: more than
// kMaxQueuedBytes, or a piece waiting longer than kMaxQueuedAge (ten seconds of lines). It then
// never holds the other devices up, nor costs the program memory without end.
// One thread at a time (the lane's); nothing fails.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

class CDeviceQueue {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxQueuedBytes = 1024 * 1024;
    static constexpr std::chrono::seconds kMaxQueuedAge{10};

    // Queues the bytes of `data` from `offset` on, queued at `now`; `bLineEnd` when they end a
    // line. `data` may be shared with other devices' queues; nobody changes it.
    void Push(std::shared_ptr<const std::string> data, std::size_t offset, bool bLineEnd,
              Clock::time_point now);
    // The bytes to write next: the rest of the oldest piece (empty when nothing is queued).
    std::string_view Front() const;
    // `count` bytes from the front were written; returns how many lines they completed.
    std::uint64_t Consume(std::size_t count);
    bool Empty() const { return m_pieces.empty(); }
    std::size_t Bytes() const { return m_nBytes; }
    // The device has fallen too far behind, in bytes or in time.
    bool OverBound(Clock::time_point now) const;
    void Clear();

  private:
    struct Piece {
        std::shared_ptr<const std::string> data;
        std::size_t offset = 0;
        bool bLineEnd = false;
        Clock::time_point queuedAt{};
    };
    std::deque<Piece> m_pieces;
    std::size_t m_nBytes = 0;
};
