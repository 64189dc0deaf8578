#pragma once
// A flow of a packet capture as a source of records for playback at the recorded pace: the
// records of the chosen flow one after another, and one record ahead, so that the time to the
// next record is known when a record is sent. The flow is read whole before a run starts
// (LoadCaptureFlow), so that nothing is sent from a capture that turns out damaged; many readers
// (the lanes of a rig) may share one flow, which none of them changes.
// One thread at a time (the playback thread). Failures are reported by results and ErrorText(),
// never by exceptions.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "datafile/CaptureFlows.h"

class CCaptureFlowReader {
  public:
    // Reads the flow `selector` chooses from the capture at `path` (see LoadCaptureFlow for what
    // is refused) and plays it. False: ErrorText() says why, ready to follow "'FILE': ".
    bool Open(const std::string& path, const FlowSelector& selector, bool bAllowGaps);
    // Plays a flow already read, from its first record.
    void Play(std::shared_ptr<const CaptureFlow> flow);

    // The next record, or nullptr after the last (and when nothing is open). Valid until the
    // reader plays another flow or is closed.
    const FlowRecord* Next();
    // Nanoseconds from the record last given to the next one; empty after the last record.
    std::optional<std::int64_t> NanosecondsToNext() const;
    // Starts again at the first record.
    void Rewind() { m_nNext = 0; }
    void Close();

    // The flow being played (empty when none is).
    const CaptureFlow& Flow() const;
    const std::string& ErrorText() const { return m_strError; }

  private:
    std::shared_ptr<const CaptureFlow> m_flow;
    std::size_t m_nNext = 0;  // the record Next gives
    std::string m_strError;
};
