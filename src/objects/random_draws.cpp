#include "objects/random_draws.h"

#include "system/random.h"

float DrawAxisComponent()
{
    return static_cast<float>(GameRand() % 100 - 50);
}

Vector3 DrawUnitDirection()
{
    // Three separate statements: the draws are taken in this order.
    const float d1 = DrawAxisComponent();
    const float d2 = DrawAxisComponent();
    const float d3 = DrawAxisComponent();
    Vector3 direction{d3, d2, d1};
    Normalize(direction);
    return direction;
}

float WithRandomSign(float value)
{
    return GameRand() % 2 == 0 ? -value : value;
}
