#include "toolkit/vector.h"

#include <gtest/gtest.h>

#include <array>

namespace
{
void expectVector(const float* v, float x, float y, float z)
{
    EXPECT_EQ(x, v[0]);
    EXPECT_EQ(y, v[1]);
    EXPECT_EQ(z, v[2]);
}
} // namespace

TEST(Vector, ArithmeticWorksPerComponentAndMayWriteOverAnInput)
{
    float a[3] = {1, 2, 3}, b[3] = {10, 20, 40}, out[3];
    brix::Vector::add(a, b, out);
    expectVector(out, 11, 22, 43);
    brix::Vector::subtract(a, b, out);
    expectVector(out, -9, -18, -37);
    brix::Vector::multiply(a, b, out);
    expectVector(out, 10, 40, 120);
    brix::Vector::multiply(a, -0.5f, out);
    expectVector(out, -0.5f, -1, -1.5f);
    brix::Vector::inverse(b, out);
    expectVector(out, -10, -20, -40);
    brix::Vector::copy(b, out);
    expectVector(out, 10, 20, 40);

    brix::Vector::add(a, b, a);
    expectVector(a, 11, 22, 43);
    brix::Vector::multiply(b, a, b);
    expectVector(b, 110, 440, 1720);
}

TEST(Vector, CrossDotAndLength)
{
    float x[3] = {1, 0, 0}, y[3] = {0, 1, 0}, out[3];
    brix::Vector::cross(x, y, out);
    EXPECT_EQ(0.0f, out[0]);
    EXPECT_EQ(0.0f, out[1]);
    EXPECT_EQ(1.0f, out[2]);
    // The output may be an input.
    brix::Vector::cross(y, out, out);
    expectVector(out, 1, 0, 0);
    float a3[3] = {1, 2, 3}, b3[3] = {4, 5, 6};
    brix::Vector::cross(a3, b3, out);
    expectVector(out, -3, 6, -3);

    float a[3] = {3, 4, 12};
    EXPECT_EQ(13.0f, brix::Vector::length(a));
    EXPECT_EQ(3.0f * 1 + 4.0f * 2 + 12.0f * 3, brix::Vector::dot(a, std::array<float, 3>{1, 2, 3}.data()));
}

TEST(Vector, NormalizeReturnsTheLengthAndKeepsTheOutputForZero)
{
    float a[3] = {0, 3, 4}, out[3] = {7, 7, 7};
    EXPECT_EQ(5.0f, brix::Vector::normalize(a, out));
    EXPECT_EQ(0.0f, out[0]);
    EXPECT_FLOAT_EQ(0.6f, out[1]);
    EXPECT_FLOAT_EQ(0.8f, out[2]);

    float zero[3] = {0, 0, 0}, kept[3] = {7, 8, 9};
    EXPECT_EQ(0.0f, brix::Vector::normalize(zero, kept));
    EXPECT_EQ(7.0f, kept[0]);
    EXPECT_EQ(9.0f, kept[2]);
}
