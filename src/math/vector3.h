#pragma once

#include <cmath>

// Three 32-bit floats, packed: arrays of Vector3 go to OpenGL element by
// element as vertices and colours. Also carries RGB colours (x red, y green,
// z blue) and HSV triples (x hue, y saturation, z value).
struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

static_assert(sizeof(Vector3) == 3 * sizeof(float), "Vector3 must be three packed floats");

// The operations are inline: every movement of every object runs them, and
// inlining changes no result (no reassociation, no fused multiply-adds).

inline Vector3 Add(const Vector3 &a, const Vector3 &b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

inline Vector3 Subtract(const Vector3 &a, const Vector3 &b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

inline Vector3 Negate(const Vector3 &v)
{
    return {-v.x, -v.y, -v.z};
}

inline Vector3 Multiply(const Vector3 &v, float s)
{
    return {v.x * s, v.y * s, v.z * s};
}

// One reciprocal, then three multiplications: this rounds differently from
// three divisions, and the game's numbers depend on this form.
inline Vector3 Divide(const Vector3 &v, float s)
{
    const float r = 1.0f / s;
    return {v.x * r, v.y * r, v.z * r};
}

inline float Length(const Vector3 &v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// In place; a vector of length 0 is left as it is.
inline void Normalize(Vector3 &v)
{
    const float length = Length(v);
    if (length > 0.0f) {
        const float r = 1.0f / length;
        v.x *= r;
        v.y *= r;
        v.z *= r;
    }
}
