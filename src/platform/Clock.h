#pragma once

#include <string>

namespace qal {

// One reading of the system clock, in the fixed forms the files use whatever
// the locale: date "MM-DD-YYYY", time "HH:MM:SS" on the 24-hour clock.
struct ClockReading {
    std::string date;
    std::string time;
    float secondsSinceMidnight = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Date and time come from the same instant, so a reading taken across
    // midnight cannot pair one day's date with the next day's time.
    virtual ClockReading now() const = 0;
};

// The host's local time.
class SystemClock : public Clock {
public:
    ClockReading now() const override;
};

} // namespace qal
