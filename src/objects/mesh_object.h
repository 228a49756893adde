#pragma once

#include <vector>

#include "objects/scene_object.h"

// One face: indices of its corners in vertices and colours. The corner
// order is the winding; faces counter-clockwise on screen are the front.
struct Triangle {
    int a = 0;
    int b = 0;
    int c = 0;
};

static_assert(sizeof(Triangle) == 12, "Triangle is three 32-bit indices");

// A scene object whose points are joined into triangles, each drawn with
// the colours of its corners. Rocks, fragments and the ship are meshes.
class MeshObject : public SceneObject {
public:
    MeshObject() = default;
    // Copies the faces too; the copy shares nothing with the source.
    MeshObject(const MeshObject &source) = default;

    // Draws every face as a coloured triangle, with no normals: faces are
    // lit with whatever normal is current.
    void Draw() override;

    // Replaces the face list by a copy of table[0..count-1].
    void SetFaces(int count, const Triangle *table);

    int                   faceCount = 0; // entries of faces
    std::vector<Triangle> faces;
};
