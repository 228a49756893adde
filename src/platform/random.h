#pragma once

// The game's one random generator, reproducible from its seed:
// state = state * 214013 + 2531011 (mod 2^32), result = (state >> 16) & 0x7FFF.
// Not the C library's rand, which is a different generator.
namespace sys {

void srand(unsigned int seed);
// 0..32767
int  rand();

} // namespace sys
