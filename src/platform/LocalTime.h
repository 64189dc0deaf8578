#pragma once
// The local date and time, as used in the names of capture files. Any thread may call it; it
// never fails (the fields are those of the local time zone of the system).
struct LocalTime {
    int year;    // four digits, e.g. 2026
    int month;   // 1 to 12
    int day;     // 1 to 31
    int hour;    // 0 to 23
    int minute;  // 0 to 59
    int second;  // 0 to 60 (a leap second)
};

LocalTime LocalTimeNow();
