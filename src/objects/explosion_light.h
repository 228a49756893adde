#pragma once

#include "objects/scene_object.h"

class Rock;

// One of the explosionLightCount OpenGL lights from GL_LIGHT1 that flash in
// a rock's colour at every kill and fade within one to two seconds. Each is
// in world.objects (updated, drawn first) and in world.lights (the ring).
class ExplosionLight : public SceneObject {
public:
    ExplosionLight(int lightId, bool enabled);

    // Hands the light to OpenGL (or switches it off when not enabled).
    void Draw() override;
    // Fades the diffuse colour; a colour summing 0.05 or less goes dark.
    void Update(int frameMs) override;

    bool  enabled = true;                      // when clear, Draw switches the light off
    int   lightId = 0;                         // GL_LIGHT1 onwards, set by the constructor
    float lightPosition[4] = {0, 0, 0, 1};     // GL_POSITION, a point light
    float ambient[4] = {0, 0, 0, 1};           // GL_AMBIENT, never changed
    float diffuse[4] = {0, 0, 0, 1};           // GL_DIFFUSE, set by a kill, faded
    float specular[4] = {1, 1, 1, 1};          // GL_SPECULAR, never changed
};

// Makes the explosionLightCount lights, once: does nothing when
// world.lights has any.
void CreateExplosionLights();
// The next light of the ring takes the rock's hue and place.
void IgniteExplosionLight(const Rock &rock);
