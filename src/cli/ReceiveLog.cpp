#include "cli/ReceiveLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {
constexpr char kHexDigits[] = "0123456789abcdef";

// "N bytes" or, for a piece that the next one continues, "N+ bytes".
std::string ByteCountText(const ReceivedLine& line) {
    return std::to_string(line.bytes.size()) + (line.bContinues ? "+" : "");
}

void AppendData(std::string& out, const ReceivedLine& line, bool bHex) {
    if (bHex) {
        AppendHexBytes(out, line.bytes);
    } else {
        AppendEscapedBytes(out, line.bytes);
    }
}
}  // namespace

// Both run once per received byte; a peer may send many megabytes a second, so they write
// straight into the output, without formatting calls.
void AppendEscapedBytes(std::string& out, std::string_view bytes) {
    const std::size_t start = out.size();
    out.resize(start + bytes.size() * 4);  // "\xHH" is the longest form of a byte
    char* p = out.data() + start;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        char escape = 0;
        switch (byte) {
            case '\\':
                escape = '\\';
                break;
            case 0:
                escape = '0';
                break;
            case '\t':
                escape = 't';
                break;
            case '\n':
                escape = 'n';
                break;
            case '\r':
                escape = 'r';
                break;
            default:
                break;
        }
        if (escape != 0) {
            *p++ = '\\';
            *p++ = escape;
        } else if (byte >= 0x20 && byte < 0x7F) {
            *p++ = c;
        } else {
            *p++ = '\\';
            *p++ = 'x';
            *p++ = kHexDigits[byte >> 4];
            *p++ = kHexDigits[byte & 0x0F];
        }
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

void AppendHexBytes(std::string& out, std::string_view bytes) {
    if (bytes.empty()) {
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + bytes.size() * 3 - 1);
    char* p = out.data() + start;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (i != 0) {
            *p++ = ' ';
        }
        *p++ = kHexDigits[byte >> 4];
        *p++ = kHexDigits[byte & 0x0F];
    }
}

std::string EscapeLineBytes(std::string_view bytes) {
    std::string out;
    AppendEscapedBytes(out, bytes);
    return out;
}

std::string HexLineBytes(std::string_view bytes) {
    std::string out;
    AppendHexBytes(out, bytes);
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
    const std::string count = ByteCountText(line);
    if (line.intervalMs) {
        std::snprintf(head, sizeof head, "%02d:%02d:%02d.%03d  %+10.3f ms  %5s bytes  ", hours,
                      minutes, seconds, millis, *line.intervalMs, count.c_str());
    } else {
        std::snprintf(head, sizeof head, "%02d:%02d:%02d.%03d  %13s  %5s bytes  ", hours, minutes,
                      seconds, millis, "-", count.c_str());
    }
    std::string text = head;
    AppendData(text, line, bHex);
    return text;
}

std::string FormatLineTabSeparated(const ReceivedLine& line, bool bHex) {
    char fields[128];
    const std::int64_t seconds = line.epochMicros / 1000000;
    const std::int64_t micros = line.epochMicros % 1000000;
    char interval[32] = "-";
    if (line.intervalMs) {
        std::snprintf(interval, sizeof interval, "%.3f", *line.intervalMs);
    }
    std::snprintf(fields, sizeof fields, "%llu\t%llu\t%lld.%06lld\t%s\t%s\t",
                  static_cast<unsigned long long>(line.index),
                  static_cast<unsigned long long>(line.connection), static_cast<long long>(seconds),
                  static_cast<long long>(micros), interval, ByteCountText(line).c_str());
    std::string text = fields;
    AppendData(text, line, bHex);
    return text;
}

void CLineSplitter::Feed(std::string_view bytes, std::vector<LinePiece>& pieces) {
    while (!bytes.empty()) {
        if (m_pending.size() == kLinePieceBytes) {
            pieces.push_back({std::move(m_pending), true});
            m_pending.clear();
        }
        const std::string_view window = bytes.substr(0, kLinePieceBytes - m_pending.size());
        const std::size_t end = window.find('\n');
        if (end == std::string_view::npos) {
            m_pending.append(window);
            bytes.remove_prefix(window.size());
            continue;
        }
        m_pending.append(window.substr(0, end + 1));
        pieces.push_back({std::move(m_pending), false});
        m_pending.clear();
        bytes.remove_prefix(end + 1);
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

std::optional<double> CReceiveStats::AddPiece(double steadyMs, std::size_t nBytes) {
    m_nBytes += nBytes;
    if (!m_lastMs) {
        return std::nullopt;
    }
    return steadyMs - *m_lastMs;
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
    if (m_nDropped) {
        text += "datagrams dropped by the system (receive buffer full): " +
                std::to_string(*m_nDropped) + "\n";
    }
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
