#pragma once

#include <gtest/gtest.h>

#include "math/vector3.h"

// Each component of actual within tolerance of want; what names the check.
inline void ExpectNear(const Vector3 &actual, const Vector3 &want, float tolerance,
                       const char *what)
{
    EXPECT_NEAR(actual.x, want.x, tolerance) << what;
    EXPECT_NEAR(actual.y, want.y, tolerance) << what;
    EXPECT_NEAR(actual.z, want.z, tolerance) << what;
}
