#pragma once

namespace brix
{
// Functions on 4 x 4 float matrices in row-major order (element (r, c) at 4r + c) acting on
// column vectors: a translation sits in elements 3, 7 and 11. Angles are in radians.
// The output of multiply must not be one of its inputs; the other functions allow it.
class Matrix
{
public:
    static void copy(const float* m, float* out);
    static void add(const float* a, const float* b, float* out);
    static void multiply(const float* a, const float* b, float* out);
    // Transforms the 3-vector v as the point (x, y, z, 1), with perspective division.
    static void multiplyV(const float* m, const float* v, float* out);
    static void transpose(const float* m, float* out);
    static void identity(float* out);
    static void makeTranslate(const float* t, float* out);
    static void makeRotateX(float angle, float* out);
    static void makeRotateY(float angle, float* out);
    static void makeRotateZ(float angle, float* out);
    // The axis must be of unit length.
    static void makeRotate(const float* axis, float angle, float* out);

private:
    Matrix() = delete;
};
} // namespace brix
