#include "system/clock.h"

#include <chrono>

static uint32_t SteadyMilliseconds()
{
    static const auto start = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

static ClockSource clockSource = SteadyMilliseconds;

uint32_t timeGetTime()
{
    return clockSource();
}

void SetClockSource(ClockSource source)
{
    clockSource = source ? source : SteadyMilliseconds;
}
