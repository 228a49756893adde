#include "math/matrix4.h"

#include <cmath>

Matrix4 TranslationAlongAxes(const Vector3 &d, const Vector3 &side, const Vector3 &up,
                             const Vector3 &forward)
{
    // Grouped as forward*d.z + (up*d.y + side*d.x): float addition is not
    // associative and the grouping shows in the last bit.
    const Vector3 w = Add(Multiply(forward, d.z), Add(Multiply(up, d.y), Multiply(side, d.x)));
    return Translation(w);
}

Matrix4 Rotation(float angle, const Vector3 &axis)
{
    // cos and sin are evaluated once and stored as floats, so a zero angle
    // gives exactly the identity.
    const float cs = static_cast<float>(std::cos(static_cast<double>(angle)));
    const float sn = static_cast<float>(std::sin(static_cast<double>(angle)));
    const float t = 1.0f - cs;
    const float x = axis.x, y = axis.y, z = axis.z;

    Matrix4 r;
    r.m[0] = cs + t * x * x;
    r.m[1] = t * x * y - sn * z;
    r.m[2] = t * x * z + sn * y;
    r.m[4] = t * x * y + sn * z;
    r.m[5] = cs + t * y * y;
    r.m[6] = t * y * z - sn * x;
    r.m[8] = t * x * z - sn * y;
    r.m[9] = t * y * z + sn * x;
    r.m[10] = cs + t * z * z;
    r.m[15] = 1.0f;
    return r;
}
