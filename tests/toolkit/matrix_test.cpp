#include "toolkit/matrix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
const float PI = 3.14159265358979f;

void expectVector(const float* v, float x, float y, float z)
{
    EXPECT_NEAR(x, v[0], 1e-6f);
    EXPECT_NEAR(y, v[1], 1e-6f);
    EXPECT_NEAR(z, v[2], 1e-6f);
}
} // namespace

TEST(Matrix, RotationsTurnCounterClockwiseAboutTheirAxis)
{
    float m[16], out[3];
    float x[3] = {1, 0, 0}, y[3] = {0, 1, 0}, z[3] = {0, 0, 1};
    brix::Matrix::makeRotateZ(PI / 2, m);
    brix::Matrix::multiplyV(m, x, out);
    expectVector(out, 0, 1, 0);
    brix::Matrix::makeRotateX(PI / 2, m);
    brix::Matrix::multiplyV(m, y, out);
    expectVector(out, 0, 0, 1);
    brix::Matrix::makeRotateY(PI / 2, m);
    brix::Matrix::multiplyV(m, z, out);
    expectVector(out, 1, 0, 0);

    // About an axis with three different components, by an angle whose cosine is 3/5 and
    // sine 4/5: every element worked out by hand from Rodrigues' formula.
    float axis[3] = {2.0f / 7, 3.0f / 7, 6.0f / 7};
    const float expected[4][4] = {{31.0f / 49, -156.0f / 245, 108.0f / 245, 0},
                                  {36.0f / 49, 33.0f / 49, -4.0f / 49, 0},
                                  {-12.0f / 49, 92.0f / 245, 219.0f / 245, 0},
                                  {0, 0, 0, 1}};
    float general[16];
    brix::Matrix::makeRotate(axis, std::atan2(0.8f, 0.6f), general);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(expected[i / 4][i % 4], general[i], 1e-6f) << i;
}

TEST(Matrix, MultiplyComposesRightToLeftWithTheTranslationInTheLastColumn)
{
    float t[3] = {5, 6, 7}, translate[16], rotate[16], both[16], out[3];
    float x[3] = {1, 0, 0};
    brix::Matrix::makeTranslate(t, translate);
    EXPECT_EQ(5.0f, translate[3]);
    EXPECT_EQ(7.0f, translate[11]);
    brix::Matrix::makeRotateZ(PI / 2, rotate);
    brix::Matrix::multiply(translate, rotate, both);
    const float product[16] = {0, -1, 0, 5, 1, 0, 0, 6, 0, 0, 1, 7, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(product[i], both[i], 1e-6f) << i;
    brix::Matrix::multiplyV(both, x, out);
    expectVector(out, 5, 7, 7);

    // Every element of a product of two full matrices, neither of them symmetric, worked out
    // by hand: element 4r + c of a is 4r + c, of b (4r + c) mod 5.
    float a[16], b[16], ab[16];
    for (int i = 0; i < 16; ++i)
    {
        a[i] = float(i);
        b[i] = float(i % 5);
    }
    brix::Matrix::multiply(a, b, ab);
    const float full[16] = {16, 17, 13, 4, 52, 49, 41, 28, 88, 81, 69, 52, 124, 113, 97, 76};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(full[i], ab[i]) << i;
    brix::Matrix::add(a, b, ab);
    const float sum[16] = {0, 2, 4, 6, 8, 5, 7, 9, 11, 13, 10, 12, 14, 16, 18, 15};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(sum[i], ab[i]) << i;

    float transposed[16];
    brix::Matrix::transpose(both, transposed);
    EXPECT_EQ(both[3], transposed[12]);
    brix::Matrix::transpose(transposed, transposed);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(both[i], transposed[i]);
}

TEST(Matrix, MultiplyVDividesByW)
{
    float m[16], v[3] = {2, 4, 6}, out[3];
    brix::Matrix::identity(m);
    m[15] = 2;
    brix::Matrix::multiplyV(m, v, out);
    expectVector(out, 1, 2, 3);
}
