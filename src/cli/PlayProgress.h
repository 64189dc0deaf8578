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

// "line K of N (P%)  R lines/s  MM:SS left" (or "looping" instead of the time left, or no time
// while the rate is unknown).
std::string FormatPlayProgress(int lineNumber, int lineCount, int percent, double linesPerSecond,
                               std::optional<double> secondsLeft, bool bLooping);

// "sent N lines in S s (R lines/s)" plus ", P passes" when the file was played more than once,
// and "; D of them did not reach the device" when some lines were lost.
std::string FormatPlaySummary(std::uint64_t linesSent, std::uint64_t passes, double seconds,
                              std::uint64_t linesLost = 0);

class CPlayProgress {
  public:
    enum class Mode { kLive, kSummary, kSilent };

    CPlayProgress(std::ostream& err, int lineCount, std::uint64_t count, bool bLoop, Mode mode);

    void OnLine(int index, int percent, std::uint64_t linesSent);
    void OnRewind() { ++m_nPasses; }
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
    bool m_bLineShown = false;
    Clock::time_point m_started = Clock::now();
    std::optional<Clock::time_point> m_firstLine;
    Clock::time_point m_lastDrawn{};
};
