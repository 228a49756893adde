#pragma once

#include "math/vector3.h"
#include "objects/rock.h"

class Ship;

// Debris: a small detail-3 splinter that flies off in any direction at 2
// units per second, shrinks and dies below radius 0.03. Fragments are in
// world.objects only: nothing hits them and they keep no wave alive.
class Fragment : public Rock {
public:
    // From a rock, in its colours; 17 random draws.
    Fragment(const Rock &rock, float radius);
    // Grey, at a point; 147 random draws.
    Fragment(const Vector3 &point, float radius);

    void Update(int frameMs) override;
};

// 5 to 15 fragments of radius 0.2 out of rock, each starting 0.6 from its
// centre along its flight.
void SpawnDebris(const Rock &rock);
// Marks the ship dead, clears world.ship and throws out 5 to 15 grey
// fragments of radius 0.3 at its centre.
void DestroyShip(Ship &ship);
