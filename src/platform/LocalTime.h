#pragma once
// The local date and time, as used in the names of capture files, and the local time zone's
// offset from UTC, as the receiver uses it to show arrival times. Any thread may call these; they
// never fail (the fields are those of the local time zone of the system).
#include <cstdint>

struct LocalTime {
    int year;    // four digits, e.g. 2026
    int month;   // 1 to 12
    int day;     // 1 to 31
    int hour;    // 0 to 23
    int minute;  // 0 to 59
    int second;  // 0 to 60 (a leap second)
};

LocalTime LocalTimeNow();

// The local time zone's offset from UTC now, in seconds (east positive), rounded to whole
// minutes: what to add to a UTC time of day to read the local clock.
std::int64_t LocalUtcOffsetSeconds();
