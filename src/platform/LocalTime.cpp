#include "platform/LocalTime.h"

#include <chrono>

std::int64_t LocalUtcOffsetSeconds() {
    using namespace std::chrono;
    // The local clock reading taken as if it were UTC, less the system clock: no time zone
    // database needed. The date counts as well as the time of day, since zones from UTC+12 on
    // are a calendar day ahead of zones west of UTC-10 at the same moment. The two readings may
    // straddle a second, hence the rounding to whole minutes.
    const LocalTime local = LocalTimeNow();
    const std::int64_t now = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    const sys_days date = year{local.year} / month{static_cast<unsigned>(local.month)} /
                          day{static_cast<unsigned>(local.day)};
    const std::int64_t localAsUtc = duration_cast<seconds>(date.time_since_epoch()).count() +
                                    local.hour * 3600 + local.minute * 60 + local.second;
    const std::int64_t offset = localAsUtc - now;
    return (offset + (offset >= 0 ? 30 : -30)) / 60 * 60;
}
