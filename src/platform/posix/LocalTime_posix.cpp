#include <time.h>

#include "platform/LocalTime.h"

LocalTime LocalTimeNow() {
    const time_t now = ::time(nullptr);
    struct tm fields {};
    ::localtime_r(&now, &fields);
    return LocalTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                     fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}
