#pragma once

#include <cstdint>

#include "objects/scene_object.h"

// The scenes the benchmarks run the game's own code on. Each starts as the
// program does (the seven lights, the seed, NewGame) on a virtual clock,
// with no key down.

// A world late in a game: a wave of 40 large rocks (the 19th wave's size)
// on top of the first, every rock hit twice and every other small rock a
// third time, so about 90 small rocks spin among some two thousand
// fragments. The same seed always gives the same scene.
void BuildHeavyScene(uint32_t seed = 1);
// The first wave as the game starts: the ship, four rocks, 100 stars.
void BuildFirstWave(uint32_t seed = 1);
// One update pass of 16 ms, the virtual clock moving with it.
void UpdatePass();

// Points the next update pass moves through a matrix, counted from the
// objects present: a rock drifts and turns all its points (two passes), a
// fragment shrinks and flies (two), the ship moves once, a bullet once;
// stars and lights have no points. A rock with its hit flag set explodes
// instead and counts none.
long CountTransformedVertices();
// How many times the next update pass moves this object's points: 2, 1 or 0.
int  MovesPerPass(const SceneObject &object);
// What the world holds, for the benchmarks' labels.
struct SceneCensus {
    int rocks = 0;
    int fragments = 0;
    int objects = 0;
};
SceneCensus TakeCensus();
