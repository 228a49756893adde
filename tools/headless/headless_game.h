#pragma once

#include <cstdint>

// The game's world with no window, as the tests, the benchmarks and
// quarvel-sim run it. No backend is linked here: each program names its
// own in its QUARVEL_PLATFORM property.

// The world as it is before the program's first frame: empty, no key
// down, and timeGetTime on the manual clock at clockStart ms.
void ResetHeadlessWorld(uint32_t clockStart = 0);

// Starts a game in that world as the program does: the seven explosion
// lights, then the seed, then NewGame. The program's render set-up makes
// the lights before the seed is set; a caller that ran SetupRenderState
// already has them, and they are not made twice.
void StartHeadlessGame(uint32_t seed);
