#pragma once

#include "objects/scene_object.h"

// A grey point behind the playfield that drifts against the ship's motion
// and coasts on when the ship stops. velocity holds the last displacement,
// in units per frame.
class Star : public SceneObject {
public:
    Star(float x, float y, float z);

    void Draw() override;
    void Update(int frameMs) override;

    Vector3 colour; // grey by depth: 0.5 far (-20) to 0.9 near (-1)
};

// The hundred stars, appended to world.objects; 5 random draws each.
void CreateStarField();
