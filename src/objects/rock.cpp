#include "objects/rock.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "math/colour.h"
#include "objects/explosion_light.h"
#include "objects/fragment.h"
#include "objects/random_draws.h"
#include "objects/world_state.h"
#include "system/random.h"

static Vector3 WithLength(Vector3 v, float length)
{
    Normalize(v);
    return Multiply(v, length);
}

Rock::Rock(float x, float y, float z)
{
    spinAxis = DrawUnitDirection();
    hit = false;
    sizeClass = LargeRock;

    // The drift draws are taken in double and stored as float: a draw of 50
    // gives -1.1175871e-8, not 0, so the direction never has length 0.
    const float e1 = static_cast<float>(static_cast<double>(GameRand() % 100) * 0.01f - 0.5);
    const float e2 = static_cast<float>(static_cast<double>(GameRand() % 100) * 0.01f - 0.5);
    velocity = WithLength({e2, e1, 0.0f}, 0.9f);

    GenerateRockVertices(rockDetail);
    GenerateRockFaces(rockDetail, rockDetail);
    GenerateRockColours(GameRand() % 360);
    Translate(x, y, z, false);
    Scale(1.4f, true);
    ComputeRadius();
    mass = radius * 8.0f;
}

Rock::Rock(const Rock &source)
    : MeshObject(source),
      radius(source.radius),
      spinAxis(source.spinAxis),
      hit(source.hit),
      sizeClass(source.sizeClass)
{
}

void Rock::Update(int frameMs)
{
    if (hit) {
        // A hit rock neither drifts nor turns in the update that acts on it.
        hit = false;
        Explode();
    } else {
        // velocity is per 500 ms. A quarter turn a second; the angle is
        // taken in double and stored as float.
        Translate(Multiply(velocity, static_cast<float>(frameMs) * 0.002f), false);
        const float angle = static_cast<float>(frameMs * 0.0015707963267948967);
        ApplyTransform(Rotation(angle, spinAxis), true);
    }

    // Wrap a radius beyond the playfield, and only while moving outwards.
    // The jump lands 0.1 radius beyond the opposite trigger line, so a rock
    // moving inwards there is not sent back.
    const float r = radius;
    if (position.x > playfieldX + r && velocity.x > 0.0f)
        Translate(2.0f * (-playfieldX - 1.1f * r), 0.0f, 0.0f, false);
    else if (position.x < -playfieldX - r && velocity.x < 0.0f)
        Translate(2.0f * (playfieldX + 1.1f * r), 0.0f, 0.0f, false);
    if (position.y > playfieldY + r && velocity.y > 0.0f)
        Translate(0.0f, 2.0f * (-playfieldY - 1.1f * r), 0.0f, false);
    else if (position.y < -playfieldY - r && velocity.y < 0.0f)
        Translate(0.0f, 2.0f * (playfieldY + 1.1f * r), 0.0f, false);
}

void Rock::Explode()
{
    static constexpr uint32_t points[] = {0, smallRockPoints, mediumRockPoints,
                                          largeRockPoints}; // by sizeClass
    world.score += points[sizeClass];

    if (sizeClass == SmallRock) {
        // Leave the rock list before the world destroys this rock.
        dead = true;
        RemoveFromRocks(this);
        SpawnDebris(*this);
    } else {
        Split();
    }
    IgniteExplosionLight(*this);
}

void Rock::Split()
{
    radius = radius * 0.55f;
    sizeClass = sizeClass - 1;

    // A fresh shape at the new size; faces and colours stay, so both halves
    // keep the parent's hue. The radius is not measured again.
    GenerateRockVertices(rockDetail);
    Scale(radius, true);
    spinAxis = DrawUnitDirection();
    Translate(Multiply(velocity, radius * 0.5f), false);

    Rock *twin = new Rock(*this);
    twin->GenerateRockVertices(rockDetail);
    twin->Scale(twin->radius, true);
    twin->spinAxis = DrawUnitDirection();

    const float f1 = DrawAxisComponent();
    const float f2 = DrawAxisComponent();
    velocity = {f2, f1, 0.0f};
    const float g1 = DrawAxisComponent();
    const float g2 = DrawAxisComponent();
    twin->velocity = {g2, g1, 0.0f};
    const bool medium = sizeClass == MediumRock;
    velocity = WithLength(velocity, medium ? 1.5f : 3.0f);
    twin->velocity = WithLength(twin->velocity, medium ? 1.3f : 2.7f);

    mass = 8.0f * radius;
    twin->mass = 8.0f * twin->radius;

    world.rocks.push_back(twin);
    AddObject(twin);
    SpawnDebris(*this);
}

void Rock::GenerateRockVertices(int detail)
{
    // Build about the origin, then move back to the centre.
    const Vector3 centre = position;
    Translate(Negate(centre), false);

    vertexCount = 6 * detail - 4;
    vertices.assign(static_cast<size_t>(vertexCount), Vector3{});

    const auto jitter = [] { return 1.0f - static_cast<float>(GameRand() % 50) * 0.01f; };
    vertices[0] = Multiply(Vector3{0.0f, 1.0f, 0.0f}, jitter());
    vertices[vertexCount - 1] = Multiply(Vector3{0.0f, -1.0f, 0.0f}, jitter());

    // Rings of six whatever the detail. The horizontal part is not scaled by
    // cos(elevation): normalising alone brings the point to the sphere. The
    // azimuth runs on from ring to ring and is never reset.
    float elevation = 1.5707964f;
    const float step = static_cast<float>(std::numbers::pi / detail);
    float azimuth = 0.0f;
    int next = 1;
    for (int ring = 0; ring < detail - 1; ++ring) {
        elevation = elevation - step;
        for (int k = 0; k < 6; ++k) {
            azimuth = azimuth + 1.0471976f;
            Vector3 point{static_cast<float>(std::cos(static_cast<double>(azimuth))),
                          static_cast<float>(std::sin(static_cast<double>(elevation))),
                          -static_cast<float>(std::sin(static_cast<double>(azimuth)))};
            Normalize(point);
            vertices[next++] = Multiply(point, jitter());
        }
    }

    Translate(centre, false);
}

void Rock::GenerateRockFaces(int ringSize, int detail)
{
    const int p = ringSize;
    const int q = detail;
    const int bottom = (q - 1) * p + 1;

    faceCount = 2 * p * (q - 1);
    faces.clear();
    faces.reserve(static_cast<size_t>(faceCount));

    for (int i = 1; i < p; ++i)
        faces.push_back({0, i, i + 1});
    faces.push_back({0, p, 1});

    for (int k = (q - 1) * p; k >= (q - 2) * p + 2; --k)
        faces.push_back({bottom, k, k - 1});
    faces.push_back({bottom, (q - 2) * p + 1, (q - 1) * p});

    for (int l = 0; l <= q - 3; ++l) {
        const int s = l * p + 1;
        // Close the band between the last and the first vertex of the rings.
        faces.push_back({s, s + p - 1, s + 2 * p - 1});
        faces.push_back({s, s + 2 * p - 1, s + p});
        for (int m = s + 1; m <= s + p - 1; ++m) {
            faces.push_back({m, m - 1, m + p - 1});
            faces.push_back({m, m + p - 1, m + p});
        }
    }
}

void Rock::GenerateRockColours(int hue)
{
    colours.assign(static_cast<size_t>(vertexCount), Vector3{});
    const float h = static_cast<float>(hue);
    for (int i = 0; i < vertexCount; ++i) {
        // Shades 0.40..0.99 around one hue; a hue of -1 gives greys and the
        // saturation draw is still taken.
        const float value = static_cast<float>(GameRand() % 60 + 40) * 0.01f;
        const float saturation = static_cast<float>(GameRand() % 60 + 40) * 0.01f;
        colours[i] = HsvToRgb(h, saturation, value);
    }
}

void Rock::ComputeRadius()
{
    float sum = 0.0f;
    for (int i = 0; i < vertexCount; ++i)
        sum += Length(Subtract(vertices[i], position));
    radius = sum / static_cast<float>(vertexCount);
}

bool Rock::ContainsPoint(const Vector3 &point) const
{
    return Length(Subtract(position, point)) < radius;
}

void RemoveFromRocks(const Rock *rock)
{
    const auto found = std::find(world.rocks.begin(), world.rocks.end(), rock);
    if (found != world.rocks.end())
        world.rocks.erase(found);
}
