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

static uint32_t manualNow = 0;

static uint32_t ManualMilliseconds()
{
    return manualNow;
}

void UseManualClock(uint32_t now)
{
    manualNow = now;
    clockSource = ManualMilliseconds;
}

void AdvanceClock(uint32_t ms)
{
    manualNow += ms;
}
