#pragma once
// What the receiver makes of the bytes it is given: lines split at LF (stream lines) or one per
// datagram, each printed with its arrival time, the interval since the line before, its byte
// count and its bytes; and the run's figures (connections, lines, bytes, and against an expected
// delay the mean, 99th percentile and maximum of |interval - delay| and the drift).
// Plain objects used by one thread (the receiver's); nothing here fails.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One received line as printed.
struct ReceivedLine {
    std::uint64_t index = 0;           // 1, 2, ... over the whole run
    std::uint64_t connection = 0;      // 1, 2, ... (TCP connections; 1 for UDP and serial)
    std::int64_t epochMicros = 0;      // arrival, microseconds since 1970-01-01 UTC
    std::optional<double> intervalMs;  // since the previous line; none for the first
    std::string bytes;                 // as received, the LF that ended it included
};

// Printable ASCII as it is; backslash as "\\"; \0 \t \n \r for those bytes; every other byte as
// \xHH (lower-case hex). The result never holds a tab or a line end.
std::string EscapeLineBytes(std::string_view bytes);
// Each byte as two lower-case hex digits, separated by single spaces.
std::string HexLineBytes(std::string_view bytes);

// For a person: "HH:MM:SS.mmm  +IIII.III ms  NNN bytes  DATA" (interval "-" for the first line);
// `utcOffsetSeconds` turns the arrival into local time of day.
std::string FormatLineForTerminal(const ReceivedLine& line, bool bHex,
                                  std::int64_t utcOffsetSeconds);
// For programs, one line of tab-separated fields:
//   index, connection, arrival (seconds since the epoch with 6 decimals), interval in ms with 3
//   decimals ("-" for the first line), byte count, data (escaped, or hex with --hex).
std::string FormatLineTabSeparated(const ReceivedLine& line, bool bHex);

// Splits a byte stream into lines that end with LF, across arbitrary chunk boundaries.
class CLineSplitter {
  public:
    // Appends to `lines` every line that `bytes` completes (each with its LF).
    void Feed(std::string_view bytes, std::vector<std::string>& lines);
    // Takes the bytes after the last LF (a line whose end never came); false when there are none.
    bool TakeRest(std::string& rest);

  private:
    std::string m_pending;
};

// Deviation figures against an expected delay, over the intervals between lines.
struct DelayFigures {
    std::size_t intervals = 0;
    double meanAbsMs = 0;  // mean of |interval - expected|
    double p99AbsMs = 0;   // 99th percentile (nearest rank) of |interval - expected|
    double maxAbsMs = 0;
    double driftMs = 0;  // (last arrival - first arrival) - intervals * expected
};

class CReceiveStats {
  public:
    void AddConnection() { ++m_nConnections; }
    // A line of `nBytes` bytes arrived at `steadyMs` (a monotonic clock, milliseconds).
    // Returns the interval since the previous line, none for the first.
    std::optional<double> AddLine(double steadyMs, std::size_t nBytes);

    std::uint64_t Connections() const { return m_nConnections; }
    std::uint64_t Lines() const { return m_nLines; }
    std::uint64_t Bytes() const { return m_nBytes; }
    DelayFigures Figures(double expectedMs) const;

    // "connections C, lines L, bytes B" and, with an expected delay, a second line
    // "delay E ms: |deviation| mean M ms, p99 P ms, max X ms; drift D ms over N intervals".
    std::string Summary(std::optional<double> expectedMs) const;

  private:
    std::uint64_t m_nConnections = 0;
    std::uint64_t m_nLines = 0;
    std::uint64_t m_nBytes = 0;
    std::optional<double> m_firstMs;
    std::optional<double> m_lastMs;
    std::vector<double> m_intervals;
};
