#pragma once

// The world's state: every live object, and the lists and counters the
// objects keep up to date themselves as they are made, hit and destroyed;
// and the rules of the playfield those counters follow.

#include <cstdint>
#include <memory>
#include <vector>

#include "objects/scene_object.h"

class ExplosionLight;
class Rock;
class Ship;

// Half-extents of the playfield about the centre, in world units: just
// inside what the camera, 20 units away with a 45 degree view, shows of the
// plane z = 0 at 4:3. The ship and bullets wrap beyond them, rocks a radius
// beyond them, and the star field behind at twice them.
constexpr float playfieldX = 11.0f;
constexpr float playfieldY = 8.22f;

// OpenGL promises eight lights and GL_LIGHT0 is the fixed dim one, so the
// explosions take the other seven, GL_LIGHT1 onwards.
constexpr int explosionLightCount = 7;

// A press of Space fires only while fewer bullets than this fly.
constexpr int maxBullets = 4;

// Points for a kill by the size of the rock hit: the smaller, the more.
constexpr uint32_t largeRockPoints = 20;
constexpr uint32_t mediumRockPoints = 50;
constexpr uint32_t smallRockPoints = 100;

// The one game state. objects owns every live object and is updated and
// drawn first to last; rocks and lights only refer to objects in it.
struct World {
    std::vector<std::unique_ptr<SceneObject>> objects;  // owns; creation order
    std::vector<Rock *>           rocks;                // rocks that can still be hit
    std::vector<ExplosionLight *> lights;               // ring of explosionLightCount, never shrinks
    Ship                         *ship = nullptr;       // null from its loss to the respawn
    int                           bulletCount = 0;      // live bullets, at most maxBullets
    int                           lightIndex = 0;       // next light of the ring
    uint32_t                      score = 0;            // the points of every kill so far
    int                           rocksPerWave = 4;     // rocks in the next wave
    uint32_t                      respawnTimer = idleTimer; // time the ship went missing

    static constexpr uint32_t idleTimer = 0xFFFFFFFFu;
};

// The game's world, for the whole run.
extern World world;

// Appends object to world.objects, which owns it from now on.
void AddObject(SceneObject *object);

// Wraps the ship or a bullet at the playfield's edges: beyond +-playfieldX
// in x it moves by -+2 playfieldX, beyond +-playfieldY in y by -+2 playfieldY.
void WrapAtPlayfieldEdges(SceneObject &object);
