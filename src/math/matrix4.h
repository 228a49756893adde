#pragma once

#include "math/vector3.h"

// 16 floats, row-major, points as column vectors: element (row r, column k)
// is m[4r + k] and the translation sits in m[3], m[7], m[11]. A default
// Matrix4 is all zeros, not the identity.
struct Matrix4 {
    float m[16] = {};
};

// The builders and the product are inline: every movement builds and
// multiplies several of them.

inline Matrix4 Identity()
{
    Matrix4 r;
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
}

inline Matrix4 Translation(float x, float y, float z)
{
    Matrix4 r = Identity();
    r.m[3] = x;
    r.m[7] = y;
    r.m[11] = z;
    return r;
}

inline Matrix4 Translation(const Vector3 &v)
{
    return Translation(v.x, v.y, v.z);
}

inline Matrix4 Scaling(float sx, float sy, float sz)
{
    Matrix4 r;
    r.m[0] = sx;
    r.m[5] = sy;
    r.m[10] = sz;
    r.m[15] = 1.0f;
    return r;
}

inline Matrix4 Scaling(float s)
{
    return Scaling(s, s, s);
}

// left * right: applied to a point, right acts first. Formed in a
// temporary, so the result may be stored over an operand; each element
// sums its four products in order.
inline Matrix4 Product(const Matrix4 &left, const Matrix4 &right)
{
    Matrix4 r;
    for (int row = 0; row < 4; ++row) {
        const float *l = &left.m[4 * row];
        for (int col = 0; col < 4; ++col)
            r.m[4 * row + col] = l[0] * right.m[col] + l[1] * right.m[4 + col] +
                                 l[2] * right.m[8 + col] + l[3] * right.m[12 + col];
    }
    return r;
}

// Offset d in an object's own frame: d.x along side, d.y along up,
// d.z along forward.
Matrix4 TranslationAlongAxes(const Vector3 &d, const Vector3 &side, const Vector3 &up,
                             const Vector3 &forward);
// Right-handed turn by angle radians about a unit axis through the origin.
Matrix4 Rotation(float angle, const Vector3 &axis);

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
