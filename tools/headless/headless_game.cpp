#include "headless/headless_game.h"

#include <cstring>

#include "objects/explosion_light.h"
#include "system/clock.h"
#include "system/key_state.h"
#include "system/random.h"
#include "world/world.h"

void ResetHeadlessWorld(uint32_t clockStart)
{
    // ResetWorld lets go of the fire key's latch too.
    ResetWorld();
    std::memset(KeyState, 0, sizeof KeyState);
    UseManualClock(clockStart);
}

void StartHeadlessGame(uint32_t seed)
{
    CreateExplosionLights();
    GameSrand(seed);
    NewGame();
}
