#include "objects/scene_object.h"

#include <algorithm>

#include "system/opengl.h"

SceneObject::SceneObject(const SceneObject &source)
    : dead(false),
      vertexCount(source.vertexCount),
      vertices(source.vertices.begin(), source.vertices.begin() + source.vertexCount),
      position(source.position),
      forward(source.forward),
      up(source.up),
      side(source.side),
      velocity(),
      mass(source.mass)
{
    // The copy gets exactly vertexCount colours, even when the source kept
    // a longer list from an earlier shape.
    colours.assign(source.colours.begin(),
                   source.colours.begin() + std::min<size_t>(source.colours.size(), vertexCount));
    colours.resize(vertexCount);
}

void SceneObject::Draw()
{
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_POINTS);
    for (int i = 0; i < vertexCount; ++i) {
        glColor3fv(&colours[i].x);
        glVertex3fv(&vertices[i].x);
    }
    glEnd();
}

void SceneObject::Update(int)
{
}

void SceneObject::ApplyTransform(const Matrix4 &matrix, bool aboutCentre)
{
    // About the centre: move the centre to the origin, transform, move back.
    const Matrix4 l = aboutCentre
        ? Product(Product(Translation(position), matrix), Translation(Negate(position)))
        : matrix;

    for (int i = 0; i < vertexCount; ++i)
        TransformPoint(l, vertices[i]);
    TransformPoint(l, position);

    // The axes are directions: they take the linear part only, scale and
    // shear included, and are brought back to unit length.
    Matrix4 r = l;
    r.m[3] = r.m[7] = r.m[11] = 0.0f;
    TransformPoint(r, up);
    TransformPoint(r, forward);
    TransformPoint(r, side);
    Normalize(up);
    Normalize(forward);
    Normalize(side);
}

void SceneObject::Translate(float x, float y, float z, bool alongOwnAxes)
{
    const Matrix4 move = alongOwnAxes
        ? TranslationAlongAxes(Vector3{x, y, z}, side, up, forward)
        : Translation(x, y, z);
    ApplyTransform(move, true);
}

void SceneObject::Translate(const Vector3 &offset, bool alongOwnAxes)
{
    Translate(offset.x, offset.y, offset.z, alongOwnAxes);
}

void SceneObject::Scale(float sx, float sy, float sz, bool aboutCentre)
{
    ApplyTransform(Scaling(sx, sy, sz), aboutCentre);
}

void SceneObject::Scale(float factor, bool aboutCentre)
{
    ApplyTransform(Scaling(factor), aboutCentre);
}
