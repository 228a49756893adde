#include "sim/invariants.h"

#include <cmath>
#include <unordered_set>

#include "objects/bullet.h"
#include "objects/explosion_light.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "world/world.h"

static constexpr size_t lightCount = 7;

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
    if (world.bulletCount > 4)
        return "more than four bullets are alive";
    if (world.lights.size() != lightCount)
        return "lights holds " + std::to_string(world.lights.size()) + " entries, not 7";
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

// Can rise be made of exactly kills values of 20, 50 and 100?
static bool SumOfKills(uint64_t rise, uint64_t kills)
{
    for (uint64_t hundreds = 0; hundreds <= kills; ++hundreds)
        for (uint64_t fifties = 0; hundreds + fifties <= kills; ++fifties) {
            const uint64_t twenties = kills - hundreds - fifties;
            if (100 * hundreds + 50 * fifties + 20 * twenties == rise)
                return true;
        }
    return false;
}

std::string WorldWatch::Observe()
{
    std::string broken = CheckWorldStructure();

    // Every kill lights the next light of the ring, so the kills of a pass
    // are the lights taken, modulo the seven: the fewest kills that fit both
    // the ring and the rise of the score.
    const uint64_t ring = lightCount;
    const uint64_t taken = static_cast<uint64_t>(world.lightIndex - lastLightIndex + 7) % ring;
    const uint64_t rise = world.score - lastScore;
    uint64_t passKills = taken;
    while (!SumOfKills(rise, passKills) && passKills <= rise / 20 + ring)
        passKills += ring;
    if (world.score < lastScore)
        broken = broken.empty() ? "the score went down" : broken;
    else if (!SumOfKills(rise, passKills) && broken.empty())
        broken = "the score rose by " + std::to_string(rise) +
                 " which is not 20, 50 or 100 for each kill";
    else
        kills += passKills;

    if (hadShip && !world.ship)
        ++shipsLost;
    hadShip = world.ship != nullptr;
    lastScore = world.score;
    lastLightIndex = world.lightIndex;
    return broken;
}
