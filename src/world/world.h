#pragma once

// The game's rules over its world: a new game, the waves, the respawn, and
// the update and draw passes of each frame.

#include "objects/world_state.h"

// A ship, the first wave and the star field, in that order.
void NewGame();
// The update pass: respawn, wave, then every object's Update in list
// order with the same frame time; dead objects are destroyed at once.
void UpdateWorld(int frameMs);
// The draw pass: camera, every object in list order, the score.
void DrawWorld();
// Destroys every object, the last one first.
void ClearWorld();
// rocksPerWave large rocks away from the centre, then two more next time.
void SpawnWave();

// ClearWorld, then every list and counter (and the ship's fire latch) back
// to its start value, as at program start. For tools and tests that run several games in one process.
void ResetWorld();
