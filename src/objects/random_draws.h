#pragma once

// Random draws more than one kind of object makes. Each takes its draws
// from GameRand in a fixed order; a replay depends on that order.

#include "math/vector3.h"

// A whole-number direction component -50..49 (one draw).
float DrawAxisComponent();
// A random unit direction from three components. They land as (third,
// second, first): the z component is drawn first.
Vector3 DrawUnitDirection();
// value, or -value when the draw is even (one draw).
float WithRandomSign(float value);
