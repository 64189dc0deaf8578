#pragma once
// A flow of a packet capture as a source of records for playback at the recorded pace: the
// records of the chosen flow one after another, each with its time from the first record, and
// one record ahead, so that the time to the next record is known when a record is sent. The
// records are read from the capture when it is opened (LoadCaptureFlow) and held in memory.
// One thread at a time (the playback thread). Failures are reported by results and ErrorText(),
// never by exceptions.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "datafile/CaptureFlows.h"
#include "datafile/LineReader.h"

class CCaptureFlowReader {
  public:
    // Reads the flow `selector` chooses from the capture at `path` (see LoadCaptureFlow for what
    // is refused). False: ErrorText() says why, ready to follow "'FILE': ".
    bool Open(const std::string& path, const FlowSelector& selector, bool bAllowGaps);

    // The next record: `bytes` gets its payload, `offsetNs` its time from the first record.
    // EndOfFile after the last (and when nothing is open).
    ReadLineResult ReadRecord(std::string& bytes, std::int64_t& offsetNs);
    // Nanoseconds from the record last read to the next one; empty after the last record.
    std::optional<std::int64_t> NanosecondsToNext() const;
    // Starts again at the first record.
    void Rewind() { m_nNext = 0; }
    void Close();

    // What was read: the flow, its records, its holes (when allowed), its counts.
    const CaptureFlow& Flow() const { return m_flow; }
    const std::string& ErrorText() const { return m_strError; }

  private:
    CaptureFlow m_flow;
    std::size_t m_nNext = 0;  // the record the next ReadRecord gives
    std::string m_strError;
};
