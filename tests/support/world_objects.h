#pragma once

#include "math/vector3.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "objects/world_state.h"

// A large rock at `at` placed as a wave places it: owned by world.objects,
// listed in world.rocks.
inline Rock *AddRock(Vector3 at)
{
    Rock *rock = new Rock(at.x, at.y, at.z);
    AddObject(rock);
    world.rocks.push_back(rock);
    return rock;
}

// A ship handed to the world the way a new game does it.
inline Ship *AddShip()
{
    Ship *ship = new Ship();
    world.ship = ship;
    AddObject(ship);
    return ship;
}
