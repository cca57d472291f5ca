#include "toolkit/matrix.h"

#include <cmath>

namespace brix
{
void Matrix::copy(const float* m, float* out)
{
    for (int i = 0; i < 16; ++i)
        out[i] = m[i];
}

void Matrix::add(const float* a, const float* b, float* out)
{
    for (int i = 0; i < 16; ++i)
        out[i] = a[i] + b[i];
}

void Matrix::multiply(const float* a, const float* b, float* out)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[4 * r + c] = a[4 * r] * b[c] + a[4 * r + 1] * b[4 + c] + a[4 * r + 2] * b[8 + c] +
                             a[4 * r + 3] * b[12 + c];
}

void Matrix::multiplyV(const float* m, const float* v, float* out)
{
    float w = m[12] * v[0] + m[13] * v[1] + m[14] * v[2] + m[15];
    float x = (m[0] * v[0] + m[1] * v[1] + m[2] * v[2] + m[3]) / w;
    float y = (m[4] * v[0] + m[5] * v[1] + m[6] * v[2] + m[7]) / w;
    float z = (m[8] * v[0] + m[9] * v[1] + m[10] * v[2] + m[11]) / w;
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void Matrix::transpose(const float* m, float* out)
{
    float t[16];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            t[4 * r + c] = m[4 * c + r];
    copy(t, out);
}

void Matrix::identity(float* out)
{
    for (int i = 0; i < 16; ++i)
        out[i] = i % 5 == 0 ? 1.0f : 0.0f;
}

void Matrix::makeTranslate(const float* t, float* out)
{
    float x = t[0], y = t[1], z = t[2];
    identity(out);
    out[3] = x;
    out[7] = y;
    out[11] = z;
}

void Matrix::makeRotateX(float angle, float* out)
{
    float c = float(std::cos(angle)), s = float(std::sin(angle));
    identity(out);
    out[5] = c;
    out[6] = -s;
    out[9] = s;
    out[10] = c;
}

void Matrix::makeRotateY(float angle, float* out)
{
    float c = float(std::cos(angle)), s = float(std::sin(angle));
    identity(out);
    out[0] = c;
    out[2] = s;
    out[8] = -s;
    out[10] = c;
}

void Matrix::makeRotateZ(float angle, float* out)
{
    float c = float(std::cos(angle)), s = float(std::sin(angle));
    identity(out);
    out[0] = c;
    out[1] = -s;
    out[4] = s;
    out[5] = c;
}

void Matrix::makeRotate(const float* axis, float angle, float* out)
{
    float x = axis[0], y = axis[1], z = axis[2];
    float c = float(std::cos(angle)), s = float(std::sin(angle)), t = 1.0f - c;
    float m[16] = {x * x * t + c,
                   x * y * t - z * s,
                   z * x * t + y * s,
                   0.0f,
                   x * y * t + z * s,
                   y * y * t + c,
                   z * y * t - x * s,
                   0.0f,
                   z * x * t - y * s,
                   z * y * t + x * s,
                   z * z * t + c,
                   0.0f,
                   0.0f,
                   0.0f,
                   0.0f,
                   1.0f};
    copy(m, out);
}
} // namespace brix
