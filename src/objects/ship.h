#pragma once

#include <cstdint>

#include "objects/mesh_object.h"

// GLU's quadric, by the name its typedef gives it.
struct GLUquadric;

enum class ShipState : int {
    Normal = 1,     // flies and fires; a touching rock destroys it
    Hyperspace = 2, // jumped: invisible and still for just over 1000 ms
    Shield = 3,     // flies but cannot fire; rocks bounce off
};

// The player's craft: a grey cone that reads KeyState, turns, thrusts,
// coasts with drag, wraps, fires, jumps and raises its shield.
class Ship : public MeshObject {
public:
    // A complete ship at the origin, nose up the screen.
    Ship();
    Ship(const Ship &) = delete;
    ~Ship() override;

    void Draw() override;
    void Update(int frameMs) override;
    virtual void BuildVertices();
    virtual void BuildFaces();

    float        radius = 0.3f;              // 0.4 with the shield up
    uint32_t     hyperspaceStart = 0;        // timeGetTime at the jump; 0 when not jumping
    ShipState    state = ShipState::Normal;
    GLUquadric  *quadric = nullptr;          // draws the shield sphere; owned
};

// One press, one shot: set when a bullet is fired, cleared when Space is
// up. Shared by every ship of the run.
extern bool fireLatch;

// Exchanges the two velocities by the one-dimensional elastic collision
// formula, applied to whole vectors.
void ElasticBounce(SceneObject &ship, SceneObject &rock);

// GLU's error callback for the ship's quadric: writes "Quadric Error: ..."
// to stderr, runs quadricErrorTeardown and ends the program with status 1.
// code is the GLenum GLU passes (GLenum is unsigned int).
void QuadricErrorCallback(unsigned int code);

// Set by the shell: puts the desktop's display mode and cursor back before
// the program ends from inside the quadric's error callback.
extern void (*quadricErrorTeardown)();
