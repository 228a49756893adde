#pragma once

// The world's state: every live object, and the lists and counters the
// objects keep up to date themselves as they are made, hit and destroyed.

#include <cstdint>
#include <memory>
#include <vector>

#include "objects/scene_object.h"

class ExplosionLight;
class Rock;
class Ship;

// The one game state. objects owns every live object and is updated and
// drawn first to last; rocks and lights only refer to objects in it.
struct World {
    std::vector<std::unique_ptr<SceneObject>> objects;  // owns; creation order
    std::vector<Rock *>           rocks;                // rocks that can still be hit
    std::vector<ExplosionLight *> lights;               // ring of seven, never shrinks
    Ship                         *ship = nullptr;       // null from its loss to the respawn
    int                           bulletCount = 0;      // live bullets, at most 4
    int                           lightIndex = 0;       // next light of the ring
    uint32_t                      score = 0;            // 20, 50 or 100 a kill
    int                           rocksPerWave = 4;     // rocks in the next wave
    uint32_t                      respawnTimer = idleTimer; // time the ship went missing

    static constexpr uint32_t idleTimer = 0xFFFFFFFFu;
};

// The game's world, for the whole run.
extern World world;

// Appends object to world.objects, which owns it from now on.
void AddObject(SceneObject *object);
