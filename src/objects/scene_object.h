#pragma once

#include <cstdint>
#include <vector>

#include "math/matrix4.h"
#include "math/vector3.h"

// The longest frame time, in ms, an update is given: the frame loop clamps
// the measured time to it, so nothing moves by more than 200 ms of motion
// in one frame, whatever stalled the loop.
constexpr uint32_t longestFrameMs = 200;

// Base of everything in the world. An object is a cloud of points kept in
// world coordinates with one colour each, a centre and three unit axes:
// there is no model matrix, so every movement rewrites the points.
class SceneObject {
public:
    SceneObject() = default;
    // A copy starts alive and at rest and shares no array with the source.
    SceneObject(const SceneObject &source);
    SceneObject &operator=(const SceneObject &) = delete;
    virtual ~SceneObject() = default;

    // Coloured points; no live object uses this default.
    virtual void Draw();
    // frameMs: milliseconds since the previous frame, 0..longestFrameMs.
    virtual void Update(int frameMs);

    // Applies matrix to the points, the centre and the axes; with
    // aboutCentre the matrix acts about position instead of the origin.
    void ApplyTransform(const Matrix4 &matrix, bool aboutCentre);
    void Translate(float x, float y, float z, bool alongOwnAxes);
    void Translate(const Vector3 &offset, bool alongOwnAxes);
    void Scale(float sx, float sy, float sz, bool aboutCentre);
    void Scale(float factor, bool aboutCentre);

    bool                 dead = false;             // the world destroys it after its Update
    int                  vertexCount = 0;          // entries of vertices, and of colours in use
    std::vector<Vector3> vertices;                 // world coordinates
    std::vector<Vector3> colours;                  // RGB per vertex; may be longer than vertexCount
    Vector3              position;                 // centre, moves with the vertices
    Vector3              forward{0.0f, 0.0f, 1.0f}; // own z axis, unit length
    Vector3              up{0.0f, 1.0f, 0.0f};      // own y axis, unit length
    Vector3              side{1.0f, 0.0f, 0.0f};    // own x axis, unit length
    Vector3              velocity;                 // units depend on the kind of object
    float                mass = 0.0f;              // read by the shield bounce
};
