#pragma once
// What the host is told about the lines of a run, by every driver of a run (the run thread of
// the window and of `play`, and a rig's lanes). With a delay every line is shown before its send
// and the totals told after it. With no delay a host call per line would cost more than the
// send, so only the line being sent when the host's interval has passed is told; whatever was not
// told yet is told before the run rewinds, waits for its transport, or ends (Flush), so the host
// always ends up with the latest line and the exact totals.
// One thread at a time (the run's); nothing fails.
#include <chrono>
#include <cstdint>
#include <string>

class CPlaybackHost;

class CLineNotices {
  public:
    using Clock = std::chrono::steady_clock;

    explicit CLineNotices(CPlaybackHost& host);

    // Line `index` at `percent` is about to be sent; `bCoalesce` when no pause follows it.
    // `pStamp`: the stamp of the record, at the recorded pace (told with the line).
    void BeforeSend(int index, int percent, bool bCoalesce, const std::string* pStamp);
    // The line announced by BeforeSend has been handed on (`delivered`) or lost.
    void AfterSend(bool delivered);
    void Flush();

    std::uint64_t Lines() const { return m_nLines; }
    std::uint64_t Lost() const { return m_nLost; }

  private:
    CPlaybackHost& m_host;
    const Clock::duration m_interval;
    Clock::time_point m_lastTold{};
    bool m_bToldOnce = false;  // the first line is always told
    int m_nIndex = -1;
    int m_nPercent = 0;
    const std::string* m_pStamp = nullptr;  // of the line last announced, at the recorded pace
    std::string m_strUntoldStamp;
    bool m_bTelling = false;
    bool m_bLineUntold = false;
    bool m_bTotalsUntold = false;
    std::uint64_t m_nLines = 0;
    std::uint64_t m_nLost = 0;
};
