#pragma once

// The game's one random generator, reproducible from its seed:
// state = state * 214013 + 2531011 (mod 2^32), result = (state >> 16) & 0x7FFF.
//
// The C library's rand and srand are a different generator, and a call to
// them by mistake would still compile and quietly change every game. So
// this header, which every game library is built with (CMake force-includes
// it), poisons both names: a call to either is a compile error.
#include <algorithm>
#include <cstdlib>
#include <stdlib.h>

// Seeds the generator; the game seeds it once, with the calendar time.
void GameSrand(unsigned int seed);
// The next number, 0..32767
int  GameRand();

#pragma GCC poison rand srand
