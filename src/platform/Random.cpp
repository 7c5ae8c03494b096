#include "platform/Random.h"

#include <bit>

namespace qal {

void Random::seed(float secondsSinceMidnight)
{
    // Every bit of the seed counts, fractions of a second included.
    engine_.seed(std::bit_cast<std::uint32_t>(secondsSinceMidnight));
}

float Random::next()
{
    // 24 random bits scaled by 2^-24: exact in single precision, below 1.
    return static_cast<float>(engine_() >> 8) * 0x1p-24f;
}

} // namespace qal
