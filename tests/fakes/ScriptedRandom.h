#pragma once

#include "platform/Random.h"

#include <deque>

namespace qal::test {

// A random sequence that hands out scripted values, then repeats the last one.
class ScriptedRandom : public Random {
public:
    std::deque<float> values;
    float last = 0.5f;
    int draws = 0;
    float seededWith = -1; // -1 until seed() is called
    void seed(float s) override { seededWith = s; }
    float next() override;
};

} // namespace qal::test
