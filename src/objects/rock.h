#pragma once

#include "math/vector3.h"
#include "objects/mesh_object.h"

// Detail of the ring-sphere shapes: rings of six points, detail - 1 rings.
constexpr int rockDetail = 6;     // 32 vertices, 60 faces
constexpr int fragmentDetail = 3; // 14 vertices, 12 faces

// sizeClass values: a large rock splits into two medium ones, a medium one
// into two small ones, and a small one dies.
enum SizeClass : int {
    SmallRock = 1,
    MediumRock = 2,
    LargeRock = 3,
};

// The target of the game: a faceted, randomly shaped mesh that drifts in
// the playfield plane, spins about its own axis, wraps at the edges and,
// once hit, scores and splits or dies. Every rock is in world.objects
// (which owns it) and in world.rocks.
class Rock : public MeshObject {
public:
    // A large rock centred at (x, y, z); takes 102 random draws.
    Rock(float x, float y, float z);
    // The mesh copy (alive, at rest), then radius, spinAxis, hit, sizeClass.
    Rock(const Rock &source);

    void Update(int frameMs) override;
    // Scores, splits or dies, throws out debris and lights a light.
    void Explode();
    // This rock becomes the first half, one class smaller; the twin is
    // appended to world.rocks and world.objects.
    void Split();

    // Shape: a jittered ring sphere about position (replaces vertices only).
    void GenerateRockVertices(int detail);
    // Triangles over the ring sphere, counter-clockwise seen from outside.
    void GenerateRockFaces(int ringSize, int detail);
    // One random shade per vertex around one hue (-1: grey).
    void GenerateRockColours(int hue);
    // radius = mean distance of every vertex from position.
    void ComputeRadius();
    // Strictly within radius of position, in three dimensions.
    bool ContainsPoint(const Vector3 &point) const;

    float   radius = 0.0f;        // collision radius about position
    Vector3 spinAxis;             // unit, world axes; not carried by the spin
    bool    hit = false;          // set by a bullet or the ship, acted on in Update
    int     sizeClass = LargeRock; // SizeClass
};

// Removes the first entry of world.rocks that is rock, keeping the order.
void RemoveFromRocks(const Rock *rock);
