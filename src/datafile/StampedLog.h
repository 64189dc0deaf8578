#pragma once
// What a stamped hex log says besides its bytes: when each record was stamped. A record line is
// "[YYYY-MM-DD HH:MM:SS] 0x.. 0x..", the stamp between the brackets; the payload is what the
// conversion keeps of the line. Used by the conversion and by playback at the recorded pace.
// Pure functions apart from ScanStampedLog, which reads a file; any thread may call them.
// Failures are reported by results (an empty optional, a scan's fields), never by exceptions.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The payload the conversion keeps of a log line read in text mode: the text from two characters
// after the line's first "]" (from position 1 when there is none), when the line and that text
// are each at least 4 characters long and the text begins with "0x"; otherwise empty.
std::string_view StampedLogPayload(std::string_view line);

// The stamp of a record line, "[YYYY-MM-DD HH:MM:SS]" at its start, as seconds since
// 1970-01-01 00:00:00 in the log's own time (only differences between stamps matter); empty when
// the line does not begin with such a stamp of a real date and time.
std::optional<std::int64_t> ParseLogStamp(std::string_view line);

// The same for a stamp's text alone, "YYYY-MM-DD HH:MM:SS".
std::optional<std::int64_t> ParseStampText(std::string_view stamp);

// The stamp's text as it appears in the line (19 characters), for showing the log's own time.
std::string_view LogStampText(std::string_view line);

// What a whole log holds for playing at the recorded pace.
struct StampedLogScan {
    bool bReadable = false;     // false: the file could not be opened or read
    std::uint64_t records = 0;  // lines with a payload: the lines a run sends
    std::string firstStamp;     // text of the first and last such record's stamps
    std::string lastStamp;
    std::int64_t seconds = 0;  // from the first such record's stamp to the last one's
    // The first line with a payload whose stamp cannot be read: its number (from 1) and text;
    // 0 when every one can.
    std::uint64_t badLine = 0;
    std::string badText;
};

// Reads the file at `path` (text mode, as the conversion does) from its first line to its last.
StampedLogScan ScanStampedLog(const std::string& path);
