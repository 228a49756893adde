#pragma once

#include <cstdint>

// Milliseconds of the platform's clock, unsigned 32-bit; wraps after about
// 49.7 days, so differences are taken in unsigned arithmetic.
uint32_t timeGetTime();

// Where timeGetTime reads from. The SDL backend installs SDL_GetTicks.
// Until then, and after SetClockSource(nullptr), a steady clock runs.
using ClockSource = uint32_t (*)();
void SetClockSource(ClockSource source);

// The tests, the benchmarks and quarvel-sim step the clock by hand, so
// waits such as respawn and hyperspace follow game time, not the wall's.
// UseManualClock makes timeGetTime read that clock and sets it to now ms;
// AdvanceClock moves it on by ms, wrapping as the platform's clock does.
void UseManualClock(uint32_t now);
void AdvanceClock(uint32_t ms);
