#pragma once

#include "objects/scene_object.h"

class Rock;
class Ship;

// The ship's shot: one white point that flies 15 units per second from the
// nose along the ship's heading, wraps like the ship and dies after 900 ms
// or in the rock it hits. world.bulletCount counts the live ones.
class Bullet : public SceneObject {
public:
    explicit Bullet(const Ship &ship);
    Bullet(const Bullet &) = delete;
    // Gives the bullet's place in world.bulletCount back.
    ~Bullet() override;

    void Draw() override;
    void Update(int frameMs) override;
    // One white vertex at position.
    virtual void BuildPoint();
    // First rock of world.rocks that contains position, or null.
    Rock *FindHitRock() const;

    int lifetime = 0; // ms: the sum of the frame times so far
};
