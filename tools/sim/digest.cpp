#include "sim/digest.h"

#include <bit>

#include "objects/bullet.h"
#include "objects/explosion_light.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "objects/star.h"
#include "world/world.h"

// One FNV-1a step.
static uint64_t FoldByte(uint64_t digest, uint8_t byte)
{
    return (digest ^ byte) * 0x100000001B3ull;
}

// A word's four bytes, the lowest first.
static uint64_t Fold(uint64_t digest, uint32_t word)
{
    for (int byte = 0; byte < 4; ++byte)
        digest = FoldByte(digest, static_cast<uint8_t>(word >> (8 * byte)));
    return digest;
}

static uint64_t Fold(uint64_t digest, float value)
{
    // The builtin: emscripten's libc++ 13 has no std::bit_cast
    return Fold(digest, __builtin_bit_cast(uint32_t, value));
}

static uint64_t Fold(uint64_t digest, const Vector3 &v)
{
    return Fold(Fold(Fold(digest, v.x), v.y), v.z);
}

static uint64_t Fold(uint64_t digest, const float (&values)[4])
{
    for (const float value : values)
        digest = Fold(digest, value);
    return digest;
}

// What each kind adds to the base object
static uint64_t FoldOwnState(uint64_t digest, const SceneObject &object)
{
    if (const auto *rock = dynamic_cast<const Rock *>(&object)) {
        digest = Fold(Fold(digest, rock->radius), rock->spinAxis);
        return Fold(Fold(digest, static_cast<uint32_t>(rock->hit)),
                    static_cast<uint32_t>(rock->sizeClass));
    }
    if (const auto *ship = dynamic_cast<const Ship *>(&object)) {
        digest = Fold(Fold(digest, ship->radius), ship->hyperspaceStart);
        return Fold(digest, static_cast<uint32_t>(ship->state));
    }
    if (const auto *star = dynamic_cast<const Star *>(&object))
        return Fold(digest, star->colour);
    if (const auto *bullet = dynamic_cast<const Bullet *>(&object))
        return Fold(digest, static_cast<uint32_t>(bullet->lifetime));
    if (const auto *light = dynamic_cast<const ExplosionLight *>(&object)) {
        digest = Fold(Fold(digest, light->lightPosition), light->diffuse);
        return Fold(digest, static_cast<uint32_t>(light->enabled));
    }
    return digest;
}

uint64_t FoldWorld(uint64_t digest)
{
    digest = Fold(digest, static_cast<uint32_t>(world.score));
    digest = Fold(digest, static_cast<uint32_t>(world.objects.size()));
    digest = Fold(digest, static_cast<uint32_t>(world.bulletCount));
    digest = Fold(digest, static_cast<uint32_t>(world.rocksPerWave));
    digest = Fold(digest, static_cast<uint32_t>(world.lightIndex));
    digest = Fold(digest, world.respawnTimer);
    for (const auto &object : world.objects) {
        digest = Fold(digest, static_cast<uint32_t>(object->vertexCount));
        for (int i = 0; i < object->vertexCount; ++i)
            digest = Fold(Fold(digest, object->vertices[i]), object->colours[i]);
        digest = Fold(Fold(Fold(digest, object->position), object->forward), object->up);
        digest = Fold(Fold(Fold(digest, object->side), object->velocity), object->mass);
        digest = FoldOwnState(digest, *object);
    }
    return digest;
}

uint64_t FoldBytes(uint64_t digest, const uint8_t *bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        digest = FoldByte(digest, bytes[i]);
    return digest;
}
