#include "heavy_scene.h"

#include "headless/headless_game.h"
#include "objects/bullet.h"
#include "objects/fragment.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "system/clock.h"
#include "world/world.h"

static constexpr int frameMs = 16;

void UpdatePass()
{
    // The manual clock only moves with the update passes.
    AdvanceClock(frameMs);
    UpdateWorld(frameMs);
}

void BuildFirstWave(uint32_t seed)
{
    ResetHeadlessWorld();
    StartHeadlessGame(seed);
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
