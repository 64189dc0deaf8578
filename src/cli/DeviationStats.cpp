#include "cli/DeviationStats.h"

#include <algorithm>
#include <bit>
#include <cmath>

int CDeviationStats::BucketOf(std::uint64_t micros) {
    if (micros < kExactBuckets) {
        return static_cast<int>(micros);
    }
    // v >> shift falls in [64, 128): 64 buckets per power of two.
    const int shift = static_cast<int>(std::bit_width(micros)) - 7;
    const int bucket = kExactBuckets + (shift - 1) * kSubBuckets +
                       static_cast<int>((micros >> shift) - kSubBuckets);
    return std::min(bucket, kBuckets - 1);
}

double CDeviationStats::MidpointOf(int bucket) {
    if (bucket < kExactBuckets) {
        return bucket;
    }
    const int shift = (bucket - kExactBuckets) / kSubBuckets + 1;
    const std::uint64_t low =
        static_cast<std::uint64_t>(kSubBuckets + (bucket - kExactBuckets) % kSubBuckets) << shift;
    return static_cast<double>(low) + static_cast<double>(std::uint64_t{1} << shift) / 2;
}

void CDeviationStats::Add(double deviationMicros) {
    const double value = std::max(0.0, deviationMicros);
    ++m_nCount;
    m_sumMicros += value;
    const auto micros = static_cast<std::uint64_t>(std::min(value, 1e15) + 0.5);
    const auto bucket = static_cast<std::size_t>(BucketOf(micros));
    if (bucket >= m_buckets.size()) {
        m_buckets.resize(bucket + 1);
    }
    ++m_buckets[bucket];
}

double CDeviationStats::MeanMs() const {
    return m_nCount == 0 ? 0 : m_sumMicros / static_cast<double>(m_nCount) / 1000.0;
}

double CDeviationStats::P99Ms() const {
    if (m_nCount == 0) {
        return 0;
    }
    // Nearest rank: the smallest value with at least 99% of the intervals at or below it.
    const auto rank = static_cast<std::uint64_t>(std::ceil(0.99 * static_cast<double>(m_nCount)));
    std::uint64_t seen = 0;
    for (std::size_t bucket = 0; bucket < m_buckets.size(); ++bucket) {
        seen += m_buckets[bucket];
        if (seen >= rank) {
            return MidpointOf(static_cast<int>(bucket)) / 1000.0;
        }
    }
    return MidpointOf(kBuckets - 1) / 1000.0;
}
