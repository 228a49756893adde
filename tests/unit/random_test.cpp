#include <gtest/gtest.h>

#include "system/random.h"

TEST(GameRandom, SeedOneGivesTheKnownSequence)
{
    GameSrand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected)
        EXPECT_EQ(GameRand(), value);
}

TEST(GameRandom, SameSeedSameSequenceAndResultsStayIn15Bits)
{
    GameSrand(0xDEADBEEFu);
    int first[1000];
    for (int &v : first) {
        v = GameRand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
    GameSrand(0xDEADBEEFu);
    for (int v : first)
        ASSERT_EQ(GameRand(), v);
}
