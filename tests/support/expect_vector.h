#pragma once

#include <gtest/gtest.h>

#include "math/vector3.h"

// How near a single-precision result must come to the value a test works
// out by hand: a few operations deep (objects, world) to tolerance; the
// vector, matrix and colour maths, one or two operations deep, to
// mathsTolerance.
inline constexpr float tolerance = 1e-5f;
inline constexpr float mathsTolerance = 1e-6f;

// Each component of actual within `within` of want; what names the check.
inline void ExpectNear(const Vector3 &actual, const Vector3 &want, float within,
                       const char *what)
{
    EXPECT_NEAR(actual.x, want.x, within) << what;
    EXPECT_NEAR(actual.y, want.y, within) << what;
    EXPECT_NEAR(actual.z, want.z, within) << what;
}

// The same against (x, y, z).
inline void ExpectNear(const Vector3 &actual, float x, float y, float z, const char *what,
                       float within = tolerance)
{
    ExpectNear(actual, Vector3{x, y, z}, within, what);
}
