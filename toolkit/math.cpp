#include "toolkit/math.h"

#include <cstdlib>

namespace brix
{
float Math::saturate(float x)
{
    if (x > 1.0f)
        return 1.0f;
    if (x < 0.0f)
        return 0.0f;
    return x;
}

void Math::adjustBlendFactor(float& factor, bool increase, float riseTime, float fallTime, float elapsed)
{
    if (increase)
    {
        if (riseTime <= 0.0f)
            factor = 1.0f;
        else if (factor < 1.0f)
        {
            factor += elapsed / riseTime;
            if (factor > 1.0f)
                factor = 1.0f;
        }
    }
    else
    {
        if (fallTime <= 0.0f)
            factor = 0.0f;
        else if (factor > 0.0f)
        {
            factor -= elapsed / fallTime;
            if (factor < 0.0f)
                factor = 0.0f;
        }
    }
}

unsigned Math::random(unsigned n)
{
    if (n == 0)
        return 0;
    return static_cast<unsigned>(std::rand()) % n;
}
} // namespace brix
