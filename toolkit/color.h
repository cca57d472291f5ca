#pragma once
#include <cstdint>

namespace brix
{
// Functions on 4-float colours (red, green, blue, alpha, nominally 0 to 1). Except for copy
// and normalize, they leave the output's alpha as it was. out may be one of the inputs.
class Color
{
public:
    static void copy(const float* c, float* out);
    static void add(const float* a, const float* b, float* out);
    static void subtract(const float* a, const float* b, float* out);
    static void multiply(const float* a, const float* b, float* out);
    static void multiply(const float* a, float s, float* out);
    // Each of red, green and blue above maximum becomes maximum, else below minimum minimum.
    static void clip(const float* c, float minimum, float maximum, float* out);
    // Scales red, green and blue so the largest is 1, negatives become 0; clamps alpha to 0..1.
    static void normalize(const float* c, float* out);
    // Packed as alpha, red, green, blue from the top byte down, each component times 255
    // truncated; components outside 0..1 count as the nearest limit.
    static uint32_t rgba(const float* c);

private:
    Color() = delete;
};
} // namespace brix
