#pragma once

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

// A ship, the first wave and the star field, in that order.
void NewGame();
// The update pass: respawn, wave, then every object's Update in list
// order with the same frame time; dead objects are destroyed at once.
void UpdateWorld(int frameMs);
// The draw pass: camera, every object in list order, the score.
void DrawWorld();
// Destroys every object, the last one first.
void ClearWorld();
// rocksPerWave large rocks away from the centre, then two more next time.
void SpawnWave();
// Appends object to world.objects, which owns it from now on.
void AddObject(SceneObject *object);

// ClearWorld, then every list and counter (and the ship's fire latch) back
// to its start value, as at program start. For tools and tests that run several games in one process.
void ResetWorld();
