#include "toolkit/vector.h"

#include <cmath>

namespace brix
{
void Vector::copy(const float* a, float* out)
{
    out[0] = a[0];
    out[1] = a[1];
    out[2] = a[2];
}

void Vector::add(const float* a, const float* b, float* out)
{
    out[0] = a[0] + b[0];
    out[1] = a[1] + b[1];
    out[2] = a[2] + b[2];
}

void Vector::subtract(const float* a, const float* b, float* out)
{
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}

void Vector::multiply(const float* a, const float* b, float* out)
{
    out[0] = a[0] * b[0];
    out[1] = a[1] * b[1];
    out[2] = a[2] * b[2];
}

void Vector::multiply(const float* a, float s, float* out)
{
    out[0] = a[0] * s;
    out[1] = a[1] * s;
    out[2] = a[2] * s;
}

void Vector::inverse(const float* a, float* out)
{
    out[0] = -a[0];
    out[1] = -a[1];
    out[2] = -a[2];
}

void Vector::cross(const float* a, const float* b, float* out)
{
    // Computed into locals first so out may be a or b.
    float x = a[1] * b[2] - a[2] * b[1];
    float y = a[2] * b[0] - a[0] * b[2];
    float z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

float Vector::dot(const float* a, const float* b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

float Vector::length(const float* a)
{
    return std::sqrt(dot(a, a));
}

float Vector::normalize(const float* a, float* out)
{
    float l = length(a);
    if (l > 0.0f)
    {
        out[0] = a[0] / l;
        out[1] = a[1] / l;
        out[2] = a[2] / l;
    }
    return l;
}
} // namespace brix
