#pragma once
// Puts one direction of a TCP connection back in order, as the receiving device read it, from
// the segments a capture saw in the order it saw them:
//   - the stream starts after the SYN where the capture has it, else at the first segment that
//     carries data;
//   - a retransmitted or duplicate segment adds nothing; one that overlaps bytes already placed
//     adds only its new bytes;
//   - a segment that came before an earlier one waits for it, and goes out with it: in the record
//     of the segment that filled the hole, at that segment's time;
//   - sequence numbers wrap round (32-bit arithmetic);
//   - a SYN with another initial sequence number starts a new connection on the same addresses
//     and ports: what the first one left waiting is placed as by Finish, and the new one follows.
// Each segment that brings new bytes makes one record. Finish() places what still waits behind a
// hole the capture never filled: each hole is reported as a FlowGap and the bytes after it follow
// at their own time (never before the previous record's).
// One thread at a time; nothing here fails.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "datafile/FlowRecord.h"

class CTcpReassembler {
  public:
    // One segment of this direction, in the capture's order. `flags` are the TCP flags (SYN
    // matters); `timeNs` the capture's time; `packet` its number.
    void Add(std::uint32_t sequence, std::uint8_t flags, const std::uint8_t* payload,
             std::size_t size, std::int64_t timeNs, std::uint64_t packet);
    // No more segments: places what waits behind holes (see above).
    void Finish();

    std::vector<FlowRecord>& Records() { return m_records; }
    const std::vector<FlowGap>& Gaps() const { return m_gaps; }
    // Segments that added nothing (retransmitted, duplicated) and segments that came out of
    // order and had to wait.
    std::uint64_t Duplicates() const { return m_nDuplicates; }
    std::uint64_t Reordered() const { return m_nReordered; }

  private:
    struct Waiting {
        std::string bytes;
        std::int64_t timeNs = 0;
        std::uint64_t packet = 0;
    };
    // The stream position (bytes from its start, 64-bit) of a sequence number near the next
    // expected byte.
    std::int64_t PositionOf(std::uint32_t sequence) const;
    void Start(std::uint32_t firstDataSequence);
    // Appends bytes from position `from` of a segment at `position` to the current record.
    void Place(std::int64_t position, const std::string& bytes);
    // Moves every waiting segment that now joins the stream into the last record.
    void TakeWaiting();
    void NewRecord(std::int64_t timeNs, std::uint64_t packet);

    bool m_bStarted = false;
    bool m_bSynSeen = false;
    std::uint32_t m_initialSequence = 0;  // of the SYN
    std::uint32_t m_base = 0;             // the sequence number of stream position 0
    std::int64_t m_nNext = 0;             // stream position of the next byte expected
    std::map<std::int64_t, Waiting> m_waiting;
    std::vector<FlowRecord> m_records;
    std::vector<FlowGap> m_gaps;
    std::uint64_t m_nDuplicates = 0;
    std::uint64_t m_nReordered = 0;
    std::string m_segment;
};
