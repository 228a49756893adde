#include "system/random.h"

#include <cstdint>

static uint32_t randomState = 1;

void GameSrand(unsigned int seed)
{
    randomState = seed;
}

int GameRand()
{
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFF);
}
