#pragma once
// The spread of a run's cadence: how far each interval between two lines strayed from the pause
// planned for it, kept as a count, an exact mean and a histogram (exact to the microsecond below
// 128 µs, within 1/64 above), so that a run of any length costs the same few kilobytes. The
// histogram grows only as far as the largest deviation seen, so a lane that keeps its cadence
// costs about a kilobyte (a rig holds one per lane).
// Used by one thread at a time (its owner locks around it); nothing fails.
#include <cstdint>
#include <vector>

class CDeviationStats {
  public:
    // One interval's deviation, |interval - planned|, in microseconds.
    void Add(double deviationMicros);

    std::uint64_t Count() const { return m_nCount; }
    double MeanMs() const;
    // The 99th percentile by nearest rank, in milliseconds (0 without any interval).
    double P99Ms() const;

  private:
    static constexpr int kExactBuckets = 128;
    static constexpr int kSubBuckets = 64;
    static constexpr int kBuckets = kExactBuckets + 40 * kSubBuckets;
    static int BucketOf(std::uint64_t micros);
    static double MidpointOf(int bucket);

    std::uint64_t m_nCount = 0;
    double m_sumMicros = 0;
    std::vector<std::uint32_t> m_buckets;  // up to the largest bucket used
};
