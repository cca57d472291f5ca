#include "toolkit/vector.h"

#include <gtest/gtest.h>

#include <array>

TEST(Vector, CrossDotAndLength)
{
    float x[3] = {1, 0, 0}, y[3] = {0, 1, 0}, out[3];
    brix::Vector::cross(x, y, out);
    EXPECT_EQ(0.0f, out[0]);
    EXPECT_EQ(0.0f, out[1]);
    EXPECT_EQ(1.0f, out[2]);
    // The output may be an input.
    brix::Vector::cross(y, out, out);
    EXPECT_EQ(1.0f, out[0]);
    EXPECT_EQ(0.0f, out[2]);

    float a[3] = {3, 4, 12};
    EXPECT_EQ(13.0f, brix::Vector::length(a));
    EXPECT_EQ(3.0f * 1 + 4.0f * 2 + 12.0f * 3, brix::Vector::dot(a, std::array<float, 3>{1, 2, 3}.data()));
}

TEST(Vector, NormalizeReturnsTheLengthAndKeepsTheOutputForZero)
{
    float a[3] = {0, 3, 4}, out[3] = {7, 7, 7};
    EXPECT_EQ(5.0f, brix::Vector::normalize(a, out));
    EXPECT_FLOAT_EQ(0.6f, out[1]);
    EXPECT_FLOAT_EQ(0.8f, out[2]);

    float zero[3] = {0, 0, 0}, kept[3] = {7, 8, 9};
    EXPECT_EQ(0.0f, brix::Vector::normalize(zero, kept));
    EXPECT_EQ(7.0f, kept[0]);
    EXPECT_EQ(9.0f, kept[2]);
}
