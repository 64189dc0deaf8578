#pragma once
// What the receiver makes of the bytes it is given: lines split at LF (stream lines) or one per
// datagram, each printed with its arrival time, the interval since the line before, its byte
// count and its bytes; and the run's figures (connections, lines, bytes, and against an expected
// delay the mean, 99th percentile and maximum of |interval - delay| and the drift). A line longer
// than kLinePieceBytes is printed in pieces of that size, so that what is kept for one line stays
// bounded whatever a peer sends.
// Plain objects used by one thread (the receiver's); nothing here fails.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The most bytes of one line printed (and kept) at a time: 64 KiB.
inline constexpr std::size_t kLinePieceBytes = 64 * 1024;

// One received line, or one piece of a longer line, as printed.
struct ReceivedLine {
    std::uint64_t index = 0;           // 1, 2, ... over the whole run; a line's pieces share it
    std::uint64_t connection = 0;      // 1, 2, ... (TCP connections; 1 for UDP and serial)
    std::int64_t epochMicros = 0;      // arrival, microseconds since 1970-01-01 UTC
    std::optional<double> intervalMs;  // since the previous line ended; none for the first line
    std::string bytes;                 // as received, the LF that ended it included
    bool bContinues = false;  // the next piece printed continues this line: its count gets a '+'
};

// Printable ASCII as it is; backslash as "\\"; \0 \t \n \r for those bytes; every other byte as
// \xHH (lower-case hex). The result never holds a tab or a line end.
std::string EscapeLineBytes(std::string_view bytes);
// Each byte as two lower-case hex digits, separated by single spaces.
std::string HexLineBytes(std::string_view bytes);
// The same, appended to `out` (no separator before the first byte).
void AppendEscapedBytes(std::string& out, std::string_view bytes);
void AppendHexBytes(std::string& out, std::string_view bytes);

// For a person: "HH:MM:SS.mmm  +IIII.III ms  NNN bytes  DATA" (interval "-" for the first line;
// "NNN+ bytes" for a piece that the next one continues); `utcOffsetSeconds` turns the arrival
// into local time of day.
std::string FormatLineForTerminal(const ReceivedLine& line, bool bHex,
                                  std::int64_t utcOffsetSeconds);
// For programs, one line of tab-separated fields:
//   index, connection, arrival (seconds since the epoch with 6 decimals), interval in ms with 3
//   decimals ("-" for the first line), byte count ("NNN+" for a piece that the next one
//   continues), data (escaped, or hex with --hex).
std::string FormatLineTabSeparated(const ReceivedLine& line, bool bHex);

// One line as the splitter hands it out: whole, or a piece of a longer one.
struct LinePiece {
    std::string bytes;
    bool bContinues = false;  // more of this line follows in the next piece
};

// Splits a byte stream into lines that end with LF, across arbitrary chunk boundaries. A line
// longer than kLinePieceBytes comes out in pieces of that size (the last one the rest), so at most
// that much of a line is ever held.
class CLineSplitter {
  public:
    // Appends to `pieces` every line and piece of a line that `bytes` completes. A full piece
    // is held until the next byte arrives, so that a line ending with the stream is one piece
    // that does not continue.
    void Feed(std::string_view bytes, std::vector<LinePiece>& pieces);
    // Takes the bytes after the last LF (the end of a line whose LF never came); false when there
    // are none.
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
    // A line of `nBytes` bytes arrived at `steadyMs` (a monotonic clock, milliseconds); for a
    // line printed in pieces, its last piece. Returns the interval since the previous line, none
    // for the first.
    std::optional<double> AddLine(double steadyMs, std::size_t nBytes);
    // A piece of `nBytes` bytes of a line that goes on: its bytes count, the line not yet.
    // Returns the time since the previous line ended, none before the first line.
    std::optional<double> AddPiece(double steadyMs, std::size_t nBytes);
    // The datagrams the system dropped for want of buffer space, where it can tell (UDP).
    void SetDroppedDatagrams(std::uint64_t nDropped) { m_nDropped = nDropped; }

    std::uint64_t Connections() const { return m_nConnections; }
    std::uint64_t Lines() const { return m_nLines; }
    std::uint64_t Bytes() const { return m_nBytes; }
    DelayFigures Figures(double expectedMs) const;

    // "connections C, lines L, bytes B", then "datagrams dropped by the system (receive buffer
    // full): N" when that count was set, and with an expected delay a last line
    // "delay E ms: |deviation| mean M ms, p99 P ms, max X ms; drift D ms over N intervals".
    std::string Summary(std::optional<double> expectedMs) const;

  private:
    std::optional<std::uint64_t> m_nDropped;
    std::uint64_t m_nConnections = 0;
    std::uint64_t m_nLines = 0;
    std::uint64_t m_nBytes = 0;
    std::optional<double> m_firstMs;
    std::optional<double> m_lastMs;
    std::vector<double> m_intervals;
};
