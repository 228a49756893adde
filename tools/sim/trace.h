#pragma once

#include <cstdint>
#include <string>

// One line of JSON for the world as it stands: frame, clock, score, counts,
// the ship and the rocks in rocks order; withStars adds every star's place
// in creation order. Floats print with 9 significant digits, so they read
// back to the same float.
std::string TraceLine(uint64_t frame, uint32_t clock, bool withStars);
