#pragma once

namespace brix
{
// Functions on 3-float vectors (x, y, z) for code that does not use OGRE's types. Every
// result goes to an output array the caller provides; it may be one of the inputs.
class Vector
{
public:
    static void copy(const float* a, float* out);
    static void add(const float* a, const float* b, float* out);
    static void subtract(const float* a, const float* b, float* out);
    static void multiply(const float* a, const float* b, float* out);
    static void multiply(const float* a, float s, float* out);
    static void inverse(const float* a, float* out);
    static void cross(const float* a, const float* b, float* out);
    static float dot(const float* a, const float* b);
    static float length(const float* a);
    // Returns the length of a; out is a / length, or left unchanged for a zero vector.
    static float normalize(const float* a, float* out);

private:
    Vector() = delete;
};
} // namespace brix
