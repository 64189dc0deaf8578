#include "datafile/TcpReassembler.h"

#include <algorithm>

#include "datafile/PacketDecoder.h"

std::int64_t CTcpReassembler::PositionOf(std::uint32_t sequence) const {
    // The distance from the next expected byte, taken modulo 2^32 as the nearer of the two ways
    // round: that is how TCP itself compares sequence numbers across a wrap.
    const std::uint32_t expected = m_base + static_cast<std::uint32_t>(m_nNext);
    return m_nNext + static_cast<std::int32_t>(sequence - expected);
}

void CTcpReassembler::Start(std::uint32_t firstDataSequence) {
    m_bStarted = true;
    m_bSynSeen = false;
    m_base = firstDataSequence;
    m_nNext = 0;
}

void CTcpReassembler::NewRecord(std::int64_t timeNs, std::uint64_t packet) {
    FlowRecord record;
    // A record cannot go out before the one ahead of it in the stream.
    record.timeNs = m_records.empty() ? timeNs : std::max(timeNs, m_records.back().timeNs);
    record.packet = packet;
    m_records.push_back(std::move(record));
}

void CTcpReassembler::Place(std::int64_t position, const std::string& bytes) {
    const std::int64_t skip = m_nNext - position;
    m_records.back().bytes.append(bytes, static_cast<std::size_t>(skip), std::string::npos);
    m_nNext = position + static_cast<std::int64_t>(bytes.size());
}

void CTcpReassembler::TakeWaiting() {
    while (!m_waiting.empty() && m_waiting.begin()->first <= m_nNext) {
        const auto first = m_waiting.begin();
        const std::int64_t end =
            first->first + static_cast<std::int64_t>(first->second.bytes.size());
        if (end > m_nNext) {
            Place(first->first, first->second.bytes);
        } else {
            ++m_nDuplicates;
        }
        m_waiting.erase(first);
    }
}

void CTcpReassembler::Add(std::uint32_t sequence, std::uint8_t flags, const std::uint8_t* payload,
                          std::size_t size, std::int64_t timeNs, std::uint64_t packet) {
    // A SYN takes one sequence number; its data (if any) follows it.
    std::uint32_t dataSequence = sequence;
    if ((flags & kTcpSyn) != 0) {
        dataSequence = sequence + 1;
        if (!m_bStarted || !m_bSynSeen || sequence != m_initialSequence) {
            if (m_bStarted) {
                Finish();
            }
            Start(dataSequence);
            m_bSynSeen = true;
            m_initialSequence = sequence;
        }
    }
    if (size == 0) {
        return;
    }
    if (!m_bStarted) {
        Start(dataSequence);
    }
    const std::int64_t position = PositionOf(dataSequence);
    const std::int64_t end = position + static_cast<std::int64_t>(size);
    if (end <= m_nNext) {
        ++m_nDuplicates;
        return;
    }
    m_segment.assign(reinterpret_cast<const char*>(payload), size);
    if (position > m_nNext) {
        // Ahead of a hole: it waits for the bytes before it. Of two segments that begin at the
        // same place, the longer one is kept.
        auto [waiting, bAdded] = m_waiting.try_emplace(position);
        if (bAdded) {
            ++m_nReordered;
        } else if (waiting->second.bytes.size() >= size) {
            ++m_nDuplicates;
            return;
        }
        waiting->second = Waiting{m_segment, timeNs, packet};
        return;
    }
    NewRecord(timeNs, packet);
    Place(position, m_segment);
    TakeWaiting();
}

void CTcpReassembler::Finish() {
    // Every hole left is one the capture never filled. What follows each hole goes out at its
    // own time: it waited for nothing that came.
    while (!m_waiting.empty()) {
        const auto first = m_waiting.begin();
        const std::int64_t end =
            first->first + static_cast<std::int64_t>(first->second.bytes.size());
        if (first->first > m_nNext) {
            FlowGap gap;
            gap.sequence = m_base + static_cast<std::uint32_t>(m_nNext);
            gap.bytes = static_cast<std::uint64_t>(first->first - m_nNext);
            gap.timeNs = first->second.timeNs;
            gap.packet = first->second.packet;
            m_gaps.push_back(gap);
            m_nNext = first->first;
        }
        if (end > m_nNext) {
            NewRecord(first->second.timeNs, first->second.packet);
            Place(first->first, first->second.bytes);
        } else {
            ++m_nDuplicates;
        }
        m_waiting.erase(first);
    }
}
