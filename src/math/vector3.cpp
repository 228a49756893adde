#include "math/vector3.h"

#include <cmath>

Vector3 Add(const Vector3 &a, const Vector3 &b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vector3 Subtract(const Vector3 &a, const Vector3 &b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vector3 Negate(const Vector3 &v)
{
    return {-v.x, -v.y, -v.z};
}

Vector3 Multiply(const Vector3 &v, float s)
{
    return {v.x * s, v.y * s, v.z * s};
}

Vector3 Divide(const Vector3 &v, float s)
{
    // A reciprocal and three products round differently from three
    // divisions; the game's numbers depend on this form.
    const float r = 1.0f / s;
    return {v.x * r, v.y * r, v.z * r};
}

float Length(const Vector3 &v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

void Normalize(Vector3 &v)
{
    const float length = Length(v);
    if (length > 0.0f) {
        const float r = 1.0f / length;
        v.x *= r;
        v.y *= r;
        v.z *= r;
    }
}
