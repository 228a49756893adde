#pragma once

#include <cstdint>

// Milliseconds of the platform's clock, unsigned 32-bit; wraps after about
// 49.7 days, so differences are taken in unsigned arithmetic.
uint32_t timeGetTime();

// Where timeGetTime reads from. The SDL backend installs SDL_GetTicks;
// tests install a clock they step by hand. Until then a steady clock runs.
using ClockSource = uint32_t (*)();
void SetClockSource(ClockSource source);
