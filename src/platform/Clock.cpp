#include "platform/Clock.h"

#include "platform/Host.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace qal {

ClockReading SystemClock::now() const
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const std::tm local = localTime(seconds);
    char date[32];
    char time[32];
    std::snprintf(date, sizeof date, "%02d-%02d-%04d", local.tm_mon + 1, local.tm_mday, local.tm_year + 1900);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    const auto sinceEpoch = now.time_since_epoch();
    const double fraction =
        std::chrono::duration<double>(sinceEpoch - std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch))
            .count();
    ClockReading reading;
    reading.date = date;
    reading.time = time;
    reading.secondsSinceMidnight =
        static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + fraction);
    return reading;
}

} // namespace qal
