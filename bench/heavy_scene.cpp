#include "heavy_scene.h"

#include <cstring>

#include "objects/bullet.h"
#include "objects/explosion_light.h"
#include "objects/fragment.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "system/clock.h"
#include "system/random.h"
#include "system/key_state.h"
#include "world/world.h"

// The clock the world reads through timeGetTime: it only moves with the
// update passes, so respawn and hyperspace waits follow game time.
static uint32_t benchClock = 0;

static uint32_t BenchClock()
{
    return benchClock;
}

static constexpr int frameMs = 16;

void UpdatePass()
{
    benchClock += frameMs;
    UpdateWorld(frameMs);
}

void BuildFirstWave(uint32_t seed)
{
    ResetWorld();
    std::memset(KeyState, 0, sizeof KeyState);
    fireLatch = false;
    benchClock = 0;
    SetClockSource(BenchClock);
    CreateExplosionLights();
    GameSrand(seed);
    NewGame();
}

// Sets the hit flag of every rock, or of every other one, and runs the
// pass in which they act on it.
static void HitRocks(bool everyOther)
{
    for (size_t i = 0; i < world.rocks.size(); ++i)
        if (!everyOther || i % 2 == 0)
            world.rocks[i]->hit = true;
    UpdatePass();
}

void BuildHeavyScene(uint32_t seed)
{
    BuildFirstWave(seed);
    world.rocksPerWave = 40;
    SpawnWave();
    // Large to medium, medium to small, then half the small rocks die:
    // each hit throws out 5 to 15 fragments, which live some 120 passes.
    HitRocks(false);
    HitRocks(false);
    HitRocks(true);
}

int MovesPerPass(const SceneObject &object)
{
    // Fragments are rocks too: both drift and turn, or shrink and fly.
    if (const auto *rock = dynamic_cast<const Rock *>(&object))
        return rock->hit ? 0 : 2;
    if (const auto *ship = dynamic_cast<const Ship *>(&object))
        return ship->state == ShipState::Hyperspace ? 0 : 1;
    if (dynamic_cast<const Bullet *>(&object))
        return 1;
    return 0;
}

long CountTransformedVertices()
{
    long count = 0;
    for (const auto &object : world.objects)
        count += static_cast<long>(MovesPerPass(*object)) * object->vertexCount;
    return count;
}

SceneCensus TakeCensus()
{
    SceneCensus census;
    census.rocks = static_cast<int>(world.rocks.size());
    census.objects = static_cast<int>(world.objects.size());
    for (const auto &object : world.objects)
        if (dynamic_cast<const Fragment *>(object.get()))
            ++census.fragments;
    return census;
}
