#pragma once

#include "platform/Clock.h"

namespace qal::test {

// A clock that always reads the time it was set to: the 7th of December 2026,
// 14:03:09, unless a test sets another.
class FakeClock : public Clock {
public:
    ClockReading reading{"12-07-2026", "14:03:09", 50589.0f};
    ClockReading now() const override { return reading; }
};

} // namespace qal::test
