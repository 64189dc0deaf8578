#pragma once
// What "play" tells the user about a run on standard error: on a terminal a live line (line k of
// n, percentage, lines per second, time left), rewritten in place a few times a second; otherwise
// one summary line at the end; with --quiet nothing.
// Called by the playback thread (through the host, under its lock) and by the main thread after
// the run; not thread-safe by itself. Nothing here fails.
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "cli/ReplyFigures.h"

// "line K of N (P%)  R lines/s  MM:SS left" (or "looping" instead of the time left, or no time
// while the rate is unknown). At the recorded pace `logTime`, the time of day of the record's
// stamp, follows the percentage: "line K of N (P%)  log 05:59:16  R lines/s  MM:SS left".
std::string FormatPlayProgress(int lineNumber, int lineCount, int percent, double linesPerSecond,
                               std::optional<double> secondsLeft, bool bLooping,
                               const std::string& logTime = {});

// The log time a run covered: "log time 2026-12-06 05:59:12 to 05:59:24 (12 s)", the date given
// again only when it changed; a capture's to the microsecond, its span to the millisecond.
std::string FormatLogSpan(const std::string& firstStamp, const std::string& lastStamp);

// "sent N lines in S s (R lines/s)" plus ", P passes" when the file was played more than once,
// and "; D of them did not reach the device" when some lines were lost.
std::string FormatPlaySummary(std::uint64_t linesSent, std::uint64_t passes, double seconds,
                              std::uint64_t linesLost = 0);

// With a wait for the device's answers: "replies: 98 answered, 2 unanswered (timeout 5000 ms);
// reply time mean 201.3 ms, p99 212.0 ms" (no times when none was answered).
std::string FormatReplySummary(const ReplyFigures& replies, std::uint64_t timeoutMs);

class CPlayProgress {
  public:
    enum class Mode { kLive, kSummary, kSilent };

    CPlayProgress(std::ostream& err, int lineCount, std::uint64_t count, bool bLoop, Mode mode);

    // At the recorded pace: the time left is the log time left at `speed`, up to the log's last
    // record; `firstStamp` to `lastStamp` is the log's span, told for a run that looped.
    void SetRecordedPace(const std::string& firstStamp, const std::string& lastStamp, double speed);

    // `stamp`: at the recorded pace, the stamp of the record being sent.
    void OnLine(int index, int percent, std::uint64_t linesSent, const std::string& stamp = {});
    // The summary's time counts from the first line sent rather than from now: a run that
    // starts only when a device connects.
    void TimeFromFirstLine() { m_bTimeFromFirstLine = true; }

    // The passes over the file so far (a rewind starts the next).
    void SetPasses(std::uint64_t passes) { m_nPasses = passes; }
    // Clears the live line so that a message starts at the left margin.
    void ClearLine();
    void Finish(std::uint64_t linesSent, std::uint64_t linesLost = 0);

  private:
    using Clock = std::chrono::steady_clock;

    std::ostream& m_err;
    int m_nLineCount;
    std::uint64_t m_nCount;
    bool m_bLoop;
    Mode m_mode;
    std::uint64_t m_nPasses = 1;
    bool m_bTimeFromFirstLine = false;
    bool m_bLineShown = false;
    Clock::time_point m_started = Clock::now();
    std::optional<Clock::time_point> m_firstLine;
    Clock::time_point m_lastDrawn{};
    std::optional<double> m_lastStampSeconds;  // of the log's last record
    double m_speed = 1;
    std::string m_logFirstStamp;  // the log's first and last records
    std::string m_logLastStamp;
    std::string m_firstStamp;  // the first and latest record sent
    std::string m_latestStamp;
};
