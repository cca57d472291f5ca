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

    // About an arbitrary axis the same as about the named ones.
    float axisRotation[16], named[16];
    brix::Matrix::makeRotate(z, 0.7f, axisRotation);
    brix::Matrix::makeRotateZ(0.7f, named);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(named[i], axisRotation[i], 1e-6f) << i;
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
    brix::Matrix::multiplyV(both, x, out);
    expectVector(out, 5, 7, 7);

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
