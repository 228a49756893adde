#include "sim/invariants.h"

#include <cmath>
#include <unordered_set>

#include "objects/bullet.h"
#include "objects/explosion_light.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "objects/world_state.h"
#include "world/world.h"

static constexpr size_t lightCount = explosionLightCount;

std::string CheckWorldStructure()
{
    std::unordered_set<const SceneObject *> present;
    int liveBullets = 0;
    for (const auto &object : world.objects) {
        if (!present.insert(object.get()).second)
            return "an object is in objects twice";
        if (dynamic_cast<const Bullet *>(object.get()))
            ++liveBullets;
        const Vector3 &p = object->position;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            return "an object's position is not finite";
    }
    for (const Rock *rock : world.rocks)
        if (!present.count(rock))
            return "a rock in rocks is not in objects";
    if (world.bulletCount != liveBullets)
        return "bulletCount is " + std::to_string(world.bulletCount) + " but " +
               std::to_string(liveBullets) + " bullets are alive";
    if (world.bulletCount > maxBullets)
        return "more than " + std::to_string(maxBullets) + " bullets are alive";
    if (world.lights.size() != lightCount)
        return "lights holds " + std::to_string(world.lights.size()) + " entries, not " +
               std::to_string(lightCount);
    for (size_t i = 0; i < lightCount; ++i)
        if (i >= world.objects.size() || world.objects[i].get() != world.lights[i])
            return "the seven lights are not the first objects";
    if (world.ship && !present.count(world.ship))
        return "ship is not in objects";
    return "";
}

void WorldWatch::Start()
{
    lastScore = world.score;
    lastLightIndex = world.lightIndex;
    hadShip = world.ship != nullptr;
}

// Can rise be made of exactly kills values, each the points of a small,
// medium or large rock?
static bool SumOfKills(uint64_t rise, uint64_t kills)
{
    for (uint64_t small = 0; small <= kills; ++small)
        for (uint64_t medium = 0; small + medium <= kills; ++medium) {
            const uint64_t large = kills - small - medium;
            if (smallRockPoints * small + mediumRockPoints * medium + largeRockPoints * large ==
                rise)
                return true;
        }
    return false;
}

std::string WorldWatch::Observe()
{
    std::string broken = CheckWorldStructure();

    // Every kill lights the next light of the ring, so the kills of a pass
    // are the lights taken, modulo the ring: the fewest kills that fit both
    // the ring and the rise of the score.
    const uint64_t ring = lightCount;
    const uint64_t taken =
        static_cast<uint64_t>(world.lightIndex - lastLightIndex + explosionLightCount) % ring;
    const uint64_t rise = world.score - lastScore;
    uint64_t passKills = taken;
    // No kill scores less than a large rock.
    while (!SumOfKills(rise, passKills) && passKills <= rise / largeRockPoints + ring)
        passKills += ring;
    if (world.score < lastScore)
        broken = broken.empty() ? "the score went down" : broken;
    else if (!SumOfKills(rise, passKills) && broken.empty())
        broken = "the score rose by " + std::to_string(rise) + " which is not " +
                 std::to_string(largeRockPoints) + ", " + std::to_string(mediumRockPoints) +
                 " or " + std::to_string(smallRockPoints) + " for each kill";
    else
        kills += passKills;

    if (hadShip && !world.ship)
        ++shipsLost;
    hadShip = world.ship != nullptr;
    lastScore = world.score;
    lastLightIndex = world.lightIndex;
    return broken;
}
