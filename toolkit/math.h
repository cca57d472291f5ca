#pragma once

namespace brix
{
// Small numeric helpers for game logic and presentation.
class Math
{
public:
    // x limited to [0, 1].
    static float saturate(float x);
    // Moves factor linearly toward 1 (increase) or 0 over riseTime or fallTime seconds; a
    // time of 0 or less jumps at once. A factor already at or past its goal is left alone.
    static void adjustBlendFactor(float& factor, bool increase, float riseTime, float fallTime,
                                  float elapsed);
    // The runtime's shared generator modulo n, so the application's srand seeds it; 0 when
    // n is 0.
    static unsigned random(unsigned n);

private:
    Math() = delete;
};
} // namespace brix
