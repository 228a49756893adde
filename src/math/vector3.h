#pragma once

// Three 32-bit floats, packed: arrays of Vector3 go to OpenGL element by
// element as vertices and colours. Also carries RGB colours (x red, y green,
// z blue) and HSV triples (x hue, y saturation, z value).
struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

static_assert(sizeof(Vector3) == 3 * sizeof(float), "Vector3 must be three packed floats");

Vector3 Add(const Vector3 &a, const Vector3 &b);
Vector3 Subtract(const Vector3 &a, const Vector3 &b);
Vector3 Negate(const Vector3 &v);
Vector3 Multiply(const Vector3 &v, float s);
// One reciprocal, then three multiplications.
Vector3 Divide(const Vector3 &v, float s);
float   Length(const Vector3 &v);
// In place; a vector of length 0 is left as it is.
void    Normalize(Vector3 &v);
