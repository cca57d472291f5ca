#include "toolkit/color.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Color, RgbaPacksAlphaRedGreenBlueTruncated)
{
    float c[4] = {1, 0.5f, 0, 1};
    EXPECT_EQ(0xFFFF7F00u, brix::Color::rgba(c));
    float low[4] = {0.999f, 0.004f, 0.0039f, 0};
    EXPECT_EQ(0x00FE0100u, brix::Color::rgba(low));
    // Components outside 0..1 stay in their own byte.
    float wild[4] = {2, -1, NAN, 1.5f};
    EXPECT_EQ(0xFFFF0000u, brix::Color::rgba(wild));
}

TEST(Color, NormalizeScalesToTheLargestAndClampsAlpha)
{
    float c[4] = {2, 1, -1, 3}, out[4];
    brix::Color::normalize(c, out);
    EXPECT_EQ(1.0f, out[0]);
    EXPECT_EQ(0.5f, out[1]);
    EXPECT_EQ(0.0f, out[2]);
    EXPECT_EQ(1.0f, out[3]);

    float dark[4] = {-1, 0, -2, -0.5f};
    brix::Color::normalize(dark, dark);
    EXPECT_EQ(0.0f, dark[0]);
    EXPECT_EQ(0.0f, dark[2]);
    EXPECT_EQ(0.0f, dark[3]);
}

TEST(Color, ArithmeticAndClipLeaveTheOutputAlpha)
{
    float a[4] = {0.2f, 0.4f, 0.6f, 0.1f}, b[4] = {0.5f, 0.5f, 0.5f, 0.9f};
    float out[4] = {0, 0, 0, 0.25f};
    brix::Color::add(a, b, out);
    EXPECT_FLOAT_EQ(1.1f, out[2]);
    brix::Color::subtract(a, b, out);
    EXPECT_FLOAT_EQ(-0.3f, out[0]);
    brix::Color::multiply(a, b, out);
    EXPECT_FLOAT_EQ(0.2f, out[1]);
    brix::Color::multiply(a, 2.0f, out);
    EXPECT_FLOAT_EQ(1.2f, out[2]);
    EXPECT_EQ(0.25f, out[3]);

    float c[4] = {-0.5f, 0.5f, 1.5f, 7};
    brix::Color::clip(c, 0, 1, out);
    EXPECT_EQ(0.0f, out[0]);
    EXPECT_EQ(0.5f, out[1]);
    EXPECT_EQ(1.0f, out[2]);
    EXPECT_EQ(0.25f, out[3]);
}
