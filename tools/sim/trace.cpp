#include "sim/trace.h"

#include <cmath>
#include <cstdio>

#include "objects/rock.h"
#include "objects/ship.h"
#include "objects/star.h"
#include "world/world.h"

static void AppendFloat(std::string &out, float value)
{
    // JSON has no NaN or infinity.
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    out += text;
}

static void AppendField(std::string &out, const char *name, float value)
{
    out += '"';
    out += name;
    out += "\":";
    AppendFloat(out, value);
}

// "x","y","vx","vy": where an object is in the playfield plane and how it moves.
static void AppendMotion(std::string &out, const Vector3 &position, const Vector3 &velocity)
{
    AppendField(out, "x", position.x);
    out += ',';
    AppendField(out, "y", position.y);
    out += ',';
    AppendField(out, "vx", velocity.x);
    out += ',';
    AppendField(out, "vy", velocity.y);
}

std::string TraceLine(uint64_t frame, uint32_t clock, bool withStars)
{
    std::string out = "{\"frame\":" + std::to_string(frame) + ",\"clock\":" +
                      std::to_string(clock) + ",\"score\":" + std::to_string(world.score) +
                      ",\"objects\":" + std::to_string(world.objects.size()) +
                      ",\"bullets\":" + std::to_string(world.bulletCount) +
                      ",\"rocksPerWave\":" + std::to_string(world.rocksPerWave) + ",\"ship\":";
    if (const Ship *ship = world.ship) {
        out += '{';
        AppendMotion(out, ship->position, ship->velocity);
        out += ",\"state\":" + std::to_string(static_cast<int>(ship->state)) + ',';
        AppendField(out, "radius", ship->radius);
        out += '}';
    } else {
        out += "null";
    }

    out += ",\"rocks\":[";
    for (size_t i = 0; i < world.rocks.size(); ++i) {
        const Rock *rock = world.rocks[i];
        out += i ? ",{" : "{";
        AppendMotion(out, rock->position, rock->velocity);
        out += ",\"size\":" + std::to_string(rock->sizeClass) + ',';
        AppendField(out, "radius", rock->radius);
        out += '}';
    }
    out += ']';

    if (withStars) {
        out += ",\"stars\":[";
        bool first = true;
        for (const auto &object : world.objects) {
            const Star *star = dynamic_cast<const Star *>(object.get());
            if (!star)
                continue;
            out += first ? "[" : ",[";
            first = false;
            AppendFloat(out, star->position.x);
            out += ',';
            AppendFloat(out, star->position.y);
            out += ',';
            AppendFloat(out, star->position.z);
            out += ']';
        }
        out += ']';
    }
    out += '}';
    return out;
}
