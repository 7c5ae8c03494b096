#include "platform/Random.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qal {
namespace {

TEST(Random, ValuesAreExactSinglesInUnitInterval)
{
    Random random;
    random.seed(45296.5f);
    double sum = 0;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        const float r = random.next();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        // A multiple of 2^-24, so exact in single precision.
        const float scaled = r * 16777216.0f;
        ASSERT_EQ(scaled, std::floor(scaled));
        sum += r;
    }
    EXPECT_NEAR(sum / n, 0.5, 0.01);
}

TEST(Random, SameSeedSameSequenceAndFractionsCount)
{
    Random a, b, c;
    a.seed(100.25f);
    b.seed(100.25f);
    c.seed(100.5f);
    bool differs = false;
    for (int i = 0; i < 10; ++i) {
        const float x = a.next();
        EXPECT_EQ(x, b.next());
        differs = differs || x != c.next();
    }
    EXPECT_TRUE(differs);
}

} // namespace
} // namespace qal
