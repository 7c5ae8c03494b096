#pragma once

#include <cstdint>
#include <random>

namespace qal {

// The run's one sequence of uniform single-precision numbers in [0, 1).
// Each value is a multiple of 2^-24, so it is exact in single precision and
// never reaches 1.0. Virtual so that tests can script the values drawn.
class Random {
public:
    virtual ~Random() = default;
    // Seeds the sequence from the time of day in seconds.
    virtual void seed(float secondsSinceMidnight);
    virtual float next();

private:
    std::mt19937 engine_{0u};
};

} // namespace qal
