#pragma once

#include <cstddef>
#include <cstdint>

// A 64-bit digest of the whole world, folded frame after frame: the bits of
// every float of every object (points, colours, centre, axes, velocity,
// mass and each kind's own state) and the world's counters. Two runs that
// differ in a single bit anywhere, signed zeros included, differ here.
// FNV-1a, so the digest is the same on every machine and build.
uint64_t FoldWorld(uint64_t digest);

// Folds count bytes, as FNV-1a does: for the pixels of a drawn frame.
uint64_t FoldBytes(uint64_t digest, const uint8_t *bytes, size_t count);

// The digest's starting value.
constexpr uint64_t emptyDigest = 0xCBF29CE484222325ull;
