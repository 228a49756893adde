#include "objects/fragment.h"

#include "objects/random_draws.h"
#include "objects/ship.h"
#include "objects/world_state.h"
#include "system/random.h"

// A fragment dies once it has shrunk below this radius.
static constexpr float vanishingRadius = 0.03f;

// Fragments fly 2 units a second in any direction, out of the plane too.
static Vector3 DrawFlight()
{
    return Multiply(DrawUnitDirection(), 2.0f);
}

Fragment::Fragment(const Rock &rock, float radius) : Rock(rock)
{
    // The rock's colour list stays: the drawn vertices 0..7 show the rock's
    // colours 0..7.
    GenerateRockVertices(fragmentDetail);
    GenerateRockFaces(fragmentDetail, fragmentDetail);
    this->radius = radius;
    Scale(radius, true);
    velocity = DrawFlight();
}

Fragment::Fragment(const Vector3 &point, float radius) : Rock(point.x, point.y, point.z)
{
    GenerateRockVertices(fragmentDetail);
    GenerateRockFaces(fragmentDetail, fragmentDetail);
    GenerateRockColours(-1);
    this->radius = radius;
    Scale(radius, true);
    velocity = DrawFlight();
}

void Fragment::Update(int frameMs)
{
    // Shrinks by the fraction of a second that passed: roughly e^-t.
    const float f = static_cast<float>(frameMs) * 0.001f;
    Scale(1.0f - f, true);
    radius = radius * (1.0f - f);
    Translate(Multiply(velocity, f), false);
    if (radius < vanishingRadius)
        dead = true;
}

void SpawnDebris(const Rock &rock)
{
    const int count = GameRand() % 11 + 5;
    for (int i = 0; i < count; ++i) {
        Fragment *fragment = new Fragment(rock, 0.2f);
        // Start 0.6 out from the rock's centre, along the flight.
        fragment->Translate(Multiply(fragment->velocity, 0.3f), false);
        AddObject(fragment);
    }
}

void DestroyShip(Ship &ship)
{
    ship.dead = true;
    world.ship = nullptr;
    const int count = GameRand() % 11 + 5;
    for (int i = 0; i < count; ++i)
        AddObject(new Fragment(ship.position, 0.3f));
}
