#include "datafile/StampedLog.h"

#include "datafile/LineReader.h"

namespace {
constexpr std::size_t kShortestPayload = 4;  // "0x" and one byte's two digits
constexpr std::size_t kStampLength = 19;     // "YYYY-MM-DD HH:MM:SS"

// Reads `count` decimal digits at `text[at]`; empty when any is not a digit.
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t n = at; n < at + count; ++n) {
        if (text[n] < '0' || text[n] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[n] - '0');
    }
    return value;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}
}  // namespace

std::string_view StampedLogPayload(std::string_view line) {
    if (line.size() < kShortestPayload) {
        return {};
    }
    const std::size_t bracket = line.find(']');
    const std::size_t start = bracket == std::string_view::npos ? 1 : bracket + 2;
    if (start >= line.size()) {
        return {};
    }
    const std::string_view payload = line.substr(start);
    if (payload.size() < kShortestPayload || !payload.starts_with("0x")) {
        return {};
    }
    return payload;
}

std::string_view LogStampText(std::string_view line) {
    return line.size() > kStampLength ? line.substr(1, kStampLength) : std::string_view();
}

std::optional<std::int64_t> ParseLogStamp(std::string_view line) {
    if (line.size() < kStampLength + 2 || line[0] != '[' || line[kStampLength + 1] != ']') {
        return std::nullopt;
    }
    return ParseStampText(line.substr(1, kStampLength));
}

std::optional<std::int64_t> ParseStampText(std::string_view stamp) {
    if (stamp.size() != kStampLength || stamp[4] != '-' || stamp[7] != '-' || stamp[10] != ' ' ||
        stamp[13] != ':' || stamp[16] != ':') {
        return std::nullopt;
    }
    const std::optional<int> year = Digits(stamp, 0, 4);
    const std::optional<int> month = Digits(stamp, 5, 2);
    const std::optional<int> day = Digits(stamp, 8, 2);
    const std::optional<int> hour = Digits(stamp, 11, 2);
    const std::optional<int> minute = Digits(stamp, 14, 2);
    const std::optional<int> second = Digits(stamp, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) {
        return std::nullopt;
    }
    static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (*month < 1 || *month > 12 || *day < 1 ||
        *day > kDaysInMonth[*month - 1] + (*month == 2 && IsLeapYear(*year) ? 1 : 0) ||
        *hour > 23 || *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    const std::int64_t days =
        DaysFromCivil(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day));
    return days * 86400 + *hour * 3600 + *minute * 60 + *second;
}

StampedLogScan ScanStampedLog(const std::string& path) {
    StampedLogScan scan;
    CLineReader reader(LineMode::Text);
    if (reader.Open(path) != FileError::None) {
        return scan;
    }
    std::string line;
    std::uint64_t lineNumber = 0;
    std::optional<std::int64_t> first;
    ReadLineResult result = ReadLineResult::Line;
    while ((result = reader.ReadLine(line)) == ReadLineResult::Line) {
        ++lineNumber;
        if (StampedLogPayload(line).empty()) {
            continue;  // not sent: the conversion would not keep it either
        }
        const std::optional<std::int64_t> stamp = ParseLogStamp(line);
        if (!stamp) {
            if (scan.badLine == 0) {
                scan.badLine = lineNumber;
                scan.badText = line.substr(0, 40);
            }
            continue;
        }
        if (!first) {
            first = stamp;
            scan.firstStamp = LogStampText(line);
        }
        scan.lastStamp = LogStampText(line);
        scan.seconds = *stamp - *first;
        ++scan.records;
    }
    scan.bReadable = result == ReadLineResult::EndOfFile;
    return scan;
}
