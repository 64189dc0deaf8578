#include "cli/ReceiveLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string EscapeLineBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '\\':
                out += "\\\\";
                break;
            case 0:
                out += "\\0";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (byte >= 0x20 && byte < 0x7F) {
                    out += c;
                } else {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\x%02x", byte);
                    out += escape;
                }
        }
    }
    return out;
}

std::string HexLineBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(bytes[i]));
        if (i != 0) {
            out += ' ';
        }
        out += pair;
    }
    return out;
}

std::string FormatLineForTerminal(const ReceivedLine& line, bool bHex,
                                  std::int64_t utcOffsetSeconds) {
    const std::int64_t localMillis = line.epochMicros / 1000 + utcOffsetSeconds * 1000;
    constexpr std::int64_t kDayMillis = 24LL * 3600 * 1000;
    const std::int64_t ofDay = ((localMillis % kDayMillis) + kDayMillis) % kDayMillis;
    char head[96];
    const int hours = static_cast<int>(ofDay / 3600000);
    const int minutes = static_cast<int>(ofDay / 60000 % 60);
    const int seconds = static_cast<int>(ofDay / 1000 % 60);
    const int millis = static_cast<int>(ofDay % 1000);
    if (line.intervalMs) {
        std::snprintf(head, sizeof head, "%02d:%02d:%02d.%03d  %+10.3f ms  %5zu bytes  ", hours,
                      minutes, seconds, millis, *line.intervalMs, line.bytes.size());
    } else {
        std::snprintf(head, sizeof head, "%02d:%02d:%02d.%03d  %13s  %5zu bytes  ", hours, minutes,
                      seconds, millis, "-", line.bytes.size());
    }
    return head + (bHex ? HexLineBytes(line.bytes) : EscapeLineBytes(line.bytes));
}

std::string FormatLineTabSeparated(const ReceivedLine& line, bool bHex) {
    char fields[128];
    const std::int64_t seconds = line.epochMicros / 1000000;
    const std::int64_t micros = line.epochMicros % 1000000;
    char interval[32] = "-";
    if (line.intervalMs) {
        std::snprintf(interval, sizeof interval, "%.3f", *line.intervalMs);
    }
    std::snprintf(fields, sizeof fields, "%llu\t%llu\t%lld.%06lld\t%s\t%zu\t",
                  static_cast<unsigned long long>(line.index),
                  static_cast<unsigned long long>(line.connection), static_cast<long long>(seconds),
                  static_cast<long long>(micros), interval, line.bytes.size());
    return fields + (bHex ? HexLineBytes(line.bytes) : EscapeLineBytes(line.bytes));
}

void CLineSplitter::Feed(std::string_view bytes, std::vector<std::string>& lines) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            m_pending.append(bytes.substr(start));
            return;
        }
        m_pending.append(bytes.substr(start, end + 1 - start));
        lines.push_back(std::move(m_pending));
        m_pending.clear();
        start = end + 1;
    }
}

bool CLineSplitter::TakeRest(std::string& rest) {
    if (m_pending.empty()) {
        return false;
    }
    rest = std::move(m_pending);
    m_pending.clear();
    return true;
}

std::optional<double> CReceiveStats::AddLine(double steadyMs, std::size_t nBytes) {
    ++m_nLines;
    m_nBytes += nBytes;
    std::optional<double> interval;
    if (m_lastMs) {
        interval = steadyMs - *m_lastMs;
        m_intervals.push_back(*interval);
    } else {
        m_firstMs = steadyMs;
    }
    m_lastMs = steadyMs;
    return interval;
}

DelayFigures CReceiveStats::Figures(double expectedMs) const {
    DelayFigures figures;
    figures.intervals = m_intervals.size();
    if (m_intervals.empty()) {
        return figures;
    }
    std::vector<double> deviations;
    deviations.reserve(m_intervals.size());
    double sum = 0;
    for (const double interval : m_intervals) {
        deviations.push_back(std::fabs(interval - expectedMs));
        sum += deviations.back();
    }
    std::sort(deviations.begin(), deviations.end());
    figures.meanAbsMs = sum / static_cast<double>(deviations.size());
    // Nearest rank, ceil(0.99 n), in integers so that no rounding moves it.
    const std::size_t rank = (deviations.size() * 99 + 99) / 100;
    figures.p99AbsMs = deviations[rank == 0 ? 0 : rank - 1];
    figures.maxAbsMs = deviations.back();
    figures.driftMs =
        (*m_lastMs - *m_firstMs) - static_cast<double>(m_intervals.size()) * expectedMs;
    return figures;
}

std::string CReceiveStats::Summary(std::optional<double> expectedMs) const {
    std::string text = "connections " + std::to_string(m_nConnections) + ", lines " +
                       std::to_string(m_nLines) + ", bytes " + std::to_string(m_nBytes) + "\n";
    if (expectedMs) {
        const DelayFigures figures = Figures(*expectedMs);
        char line[256];
        std::snprintf(line, sizeof line,
                      "delay %.0f ms: |deviation| mean %.3f ms, p99 %.3f ms, max %.3f ms; drift "
                      "%+.3f ms over %zu intervals\n",
                      *expectedMs, figures.meanAbsMs, figures.p99AbsMs, figures.maxAbsMs,
                      figures.driftMs, figures.intervals);
        text += line;
    }
    return text;
}
