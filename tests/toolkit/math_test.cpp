#include "toolkit/math.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using brix::Math;

TEST(Math, SaturateLimitsToTheUnitRange)
{
    EXPECT_EQ(Math::saturate(1.5f), 1.0f);
    EXPECT_EQ(Math::saturate(-0.2f), 0.0f);
    EXPECT_EQ(Math::saturate(0.25f), 0.25f);
}

namespace
{
float blended(float factor, bool increase, float riseTime, float fallTime, float elapsed)
{
    Math::adjustBlendFactor(factor, increase, riseTime, fallTime, elapsed);
    return factor;
}
} // namespace

TEST(Math, BlendFactorMovesTowardItsGoalAndStopsThere)
{
    EXPECT_EQ(blended(0.9f, true, 0.5f, 0.0f, 0.1f), 1.0f);
    EXPECT_FLOAT_EQ(blended(0.2f, true, 0.5f, 0.0f, 0.1f), 0.4f);
    EXPECT_EQ(blended(0.0f, true, 0.0f, 1.0f, 0.0f), 1.0f);
    EXPECT_EQ(blended(1.5f, true, 0.5f, 0.5f, 0.1f), 1.5f);

    EXPECT_EQ(blended(0.1f, false, 0.0f, 0.5f, 0.1f), 0.0f);
    EXPECT_FLOAT_EQ(blended(0.6f, false, 0.0f, 2.0f, 0.2f), 0.5f);
    EXPECT_EQ(blended(0.6f, false, 1.0f, -1.0f, 0.0f), 0.0f);
    EXPECT_EQ(blended(-0.5f, false, 0.5f, 0.5f, 0.1f), -0.5f);
}

TEST(Math, RandomStaysBelowNFollowsTheSeedAndTakesZero)
{
    EXPECT_EQ(Math::random(0), 0u);
    EXPECT_EQ(Math::random(1), 0u);

    std::srand(7);
    std::vector<unsigned> first, counts(6);
    for (int i = 0; i < 600; ++i)
    {
        unsigned value = Math::random(6);
        ASSERT_LT(value, 6u);
        ++counts[value];
        first.push_back(value);
    }
    for (unsigned count : counts)
        EXPECT_GT(count, 0u);
    std::srand(7);
    for (unsigned value : first)
        ASSERT_EQ(Math::random(6), value);
}
