#pragma once

#include "math/vector3.h"

// 16 floats, row-major, points as column vectors: element (row r, column k)
// is m[4r + k] and the translation sits in m[3], m[7], m[11]. A default
// Matrix4 is all zeros, not the identity.
struct Matrix4 {
    float m[16] = {};
};

Matrix4 Identity();
Matrix4 Translation(float x, float y, float z);
Matrix4 Translation(const Vector3 &v);
// Offset d in an object's own frame: d.x along side, d.y along up,
// d.z along forward.
Matrix4 TranslationAlongAxes(const Vector3 &d, const Vector3 &side, const Vector3 &up,
                             const Vector3 &forward);
Matrix4 Scaling(float sx, float sy, float sz);
Matrix4 Scaling(float s);
// Right-handed turn by angle radians about a unit axis through the origin.
Matrix4 Rotation(float angle, const Vector3 &axis);
// left * right: applied to a point, right acts first.
Matrix4 Product(const Matrix4 &left, const Matrix4 &right);

// In place, from the three old coordinates; the fourth row is never read
// (no w, no division). Inline: every movement runs it over all vertices.
inline void TransformPoint(const Matrix4 &matrix, Vector3 &point)
{
    const float *m = matrix.m;
    const float x = point.x, y = point.y, z = point.z;
    point.x = m[0] * x + m[1] * y + m[2] * z + m[3];
    point.y = m[4] * x + m[5] * y + m[6] * z + m[7];
    point.z = m[8] * x + m[9] * y + m[10] * z + m[11];
}
