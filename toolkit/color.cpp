#include "toolkit/color.h"

#include <algorithm>

namespace brix
{
namespace
{
// Scaled to 0..255 and truncated; out-of-range and NaN components cannot spill into the
// neighbouring bytes.
uint32_t channel(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    return uint32_t(value * 255.0f);
}
} // namespace

void Color::copy(const float* c, float* out)
{
    for (int i = 0; i < 4; ++i)
        out[i] = c[i];
}

void Color::add(const float* a, const float* b, float* out)
{
    for (int i = 0; i < 3; ++i)
        out[i] = a[i] + b[i];
}

void Color::subtract(const float* a, const float* b, float* out)
{
    for (int i = 0; i < 3; ++i)
        out[i] = a[i] - b[i];
}

void Color::multiply(const float* a, const float* b, float* out)
{
    for (int i = 0; i < 3; ++i)
        out[i] = a[i] * b[i];
}

void Color::multiply(const float* a, float s, float* out)
{
    for (int i = 0; i < 3; ++i)
        out[i] = a[i] * s;
}

void Color::clip(const float* c, float minimum, float maximum, float* out)
{
    for (int i = 0; i < 3; ++i)
    {
        if (c[i] > maximum)
            out[i] = maximum;
        else if (c[i] < minimum)
            out[i] = minimum;
        else
            out[i] = c[i];
    }
}

void Color::normalize(const float* c, float* out)
{
    float largest = std::max({0.0f, c[0], c[1], c[2]});
    for (int i = 0; i < 3; ++i)
        out[i] = largest > 0.0f && c[i] > 0.0f ? c[i] / largest : 0.0f;
    out[3] = std::min(std::max(c[3], 0.0f), 1.0f);
}

uint32_t Color::rgba(const float* c)
{
    return (channel(c[3]) << 24) | (channel(c[0]) << 16) | (channel(c[1]) << 8) | channel(c[2]);
}
} // namespace brix
