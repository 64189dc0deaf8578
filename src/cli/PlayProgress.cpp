#include "cli/PlayProgress.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string_view>

#include "datafile/StampedLog.h"

namespace {
constexpr std::size_t kSecondsLength = 19;  // "YYYY-MM-DD HH:MM:SS"

// A stamp's time in seconds: a log's "YYYY-MM-DD HH:MM:SS", or a capture's with ".uuuuuu" after.
std::optional<double> StampSeconds(std::string_view stamp) {
    const std::optional<std::int64_t> seconds = ParseStampText(stamp.substr(0, kSecondsLength));
    if (!seconds) {
        return std::nullopt;
    }
    double fraction = 0;
    double unit = 0.1;
    if (stamp.size() > kSecondsLength && stamp[kSecondsLength] == '.') {
        for (const char digit : stamp.substr(kSecondsLength + 1)) {
            fraction += (digit - '0') * unit;
            unit /= 10;
        }
    }
    return static_cast<double>(*seconds) + fraction;
}
}  // namespace

std::string FormatPlayProgress(int lineNumber, int lineCount, int percent, double linesPerSecond,
                               std::optional<double> secondsLeft, bool bLooping,
                               const std::string& logTime) {
    char text[200];
    int length =
        std::snprintf(text, sizeof text, "line %d of %d (%d%%)", lineNumber, lineCount, percent);
    if (!logTime.empty()) {
        length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                                "  log %.40s", logTime.c_str());
    }
    if (linesPerSecond > 0) {
        length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                                "  %.1f lines/s", linesPerSecond);
    }
    if (secondsLeft) {
        const auto total = static_cast<long long>(*secondsLeft + 0.5);
        std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                      "  %02lld:%02lld left", total / 60, total % 60);
    } else if (bLooping) {
        std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "  looping");
    }
    return text;
}

std::string FormatPlaySummary(std::uint64_t linesSent, std::uint64_t passes, double seconds,
                              std::uint64_t linesLost) {
    char text[200];
    const double rate = seconds > 0 ? static_cast<double>(linesSent) / seconds : 0;
    int length = std::snprintf(text, sizeof text, "sent %llu line%s in %.1f s (%.1f lines/s)",
                               static_cast<unsigned long long>(linesSent),
                               linesSent == 1 ? "" : "s", seconds, rate);
    if (passes > 1) {
        length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                                ", %llu passes", static_cast<unsigned long long>(passes));
    }
    if (linesLost > 0) {
        std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                      "; %llu of them did not reach the device",
                      static_cast<unsigned long long>(linesLost));
    }
    return text;
}

std::string FormatReplySummary(const ReplyFigures& replies, std::uint64_t timeoutMs) {
    char text[200];
    const int length = std::snprintf(text, sizeof text,
                                     "replies: %llu answered, %llu unanswered (timeout %llu ms)",
                                     static_cast<unsigned long long>(replies.answered),
                                     static_cast<unsigned long long>(replies.unanswered),
                                     static_cast<unsigned long long>(timeoutMs));
    if (replies.answered > 0) {
        std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                      "; reply time mean %.1f ms, p99 %.1f ms", replies.meanMs, replies.p99Ms);
    }
    return text;
}

std::string FormatLogSpan(const std::string& firstStamp, const std::string& lastStamp) {
    const std::optional<double> first = StampSeconds(firstStamp);
    const std::optional<double> last = StampSeconds(lastStamp);
    // The date once when both stamps share it: "2026-12-06 05:59:12 to 05:59:24".
    const bool bSameDay = firstStamp.size() > 11 && lastStamp.size() > 11 &&
                          firstStamp.compare(0, 11, lastStamp, 0, 11) == 0;
    std::string text =
        "log time " + firstStamp + " to " + (bSameDay ? lastStamp.substr(11) : lastStamp);
    if (first && last && *last >= *first) {
        // A capture's span to the millisecond; a log's stamps have whole seconds.
        char span[40];
        std::snprintf(span, sizeof span,
                      firstStamp.size() > kSecondsLength ? " (%.3f s)" : " (%.0f s)",
                      *last - *first);
        text += span;
    }
    return text;
}

CPlayProgress::CPlayProgress(std::ostream& err, int lineCount, std::uint64_t count, bool bLoop,
                             Mode mode)
    : m_err(err), m_nLineCount(lineCount), m_nCount(count), m_bLoop(bLoop), m_mode(mode) {}

void CPlayProgress::SetRecordedPace(const std::string& firstStamp, const std::string& lastStamp,
                                    double speed) {
    m_logFirstStamp = firstStamp;
    m_logLastStamp = lastStamp;
    m_lastStampSeconds = StampSeconds(lastStamp);
    m_speed = speed > 0 ? speed : 1;
}

void CPlayProgress::OnLine(int index, int percent, std::uint64_t linesSent,
                           const std::string& stamp) {
    const Clock::time_point now = Clock::now();
    if (!m_firstLine) {
        m_firstLine = now;
    }
    if (!stamp.empty()) {
        if (m_firstStamp.empty()) {
            m_firstStamp = stamp;
        }
        m_latestStamp = stamp;
    }
    if (m_mode != Mode::kLive) {
        return;
    }
    // A few redraws a second are enough for a person; a delay of 0 must not flood the terminal.
    const bool bLast =
        (m_nCount != 0 && linesSent >= m_nCount) || (!m_bLoop && index + 1 >= m_nLineCount);
    if (m_bLineShown && !bLast && now - m_lastDrawn < std::chrono::milliseconds(100)) {
        return;
    }
    m_lastDrawn = now;
    const double elapsed = std::chrono::duration<double>(now - *m_firstLine).count();
    const double rate =
        linesSent > 1 && elapsed > 0 ? static_cast<double>(linesSent - 1) / elapsed : 0;
    std::optional<double> left;
    const std::optional<double> stampSeconds = StampSeconds(stamp);
    if (m_lastStampSeconds && stampSeconds && !(m_bLoop && m_nCount == 0)) {
        // The log's own time left, at its speed: the rate of lines says little when they come
        // in bursts.
        left = std::max(*m_lastStampSeconds - *stampSeconds, 0.0) / m_speed;
    } else if (rate > 0) {
        if (m_nCount != 0) {
            left = static_cast<double>(m_nCount - linesSent) / rate;
        } else if (!m_bLoop) {
            left = static_cast<double>(m_nLineCount - index - 1) / rate;
        }
    }
    m_err << "\r\033[K"
          << FormatPlayProgress(index + 1, m_nLineCount, percent, rate, left,
                                m_bLoop && m_nCount == 0,
                                stamp.size() > 11 ? stamp.substr(11) : stamp)
          << std::flush;
    m_bLineShown = true;
}

void CPlayProgress::ClearLine() {
    if (m_mode == Mode::kLive && m_bLineShown) {
        m_err << "\r\033[K" << std::flush;
        m_bLineShown = false;
    }
}

void CPlayProgress::Finish(std::uint64_t linesSent, std::uint64_t linesLost) {
    if (m_mode == Mode::kSilent) {
        return;
    }
    ClearLine();
    const Clock::time_point from = m_bTimeFromFirstLine && m_firstLine ? *m_firstLine : m_started;
    const double seconds = std::chrono::duration<double>(Clock::now() - from).count();
    m_err << FormatPlaySummary(linesSent, m_nPasses, seconds, linesLost);
    if (m_nPasses > 1 && !m_logFirstStamp.empty()) {
        m_err << "; " << FormatLogSpan(m_logFirstStamp, m_logLastStamp) << " each pass";
    } else if (!m_firstStamp.empty()) {
        m_err << "; " << FormatLogSpan(m_firstStamp, m_latestStamp);
    }
    m_err << std::endl;
}
