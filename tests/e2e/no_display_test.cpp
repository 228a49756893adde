#include <string>

#include <gtest/gtest.h>

#include "debug_lines.h"
#include "e2e_test.h"

// Started with no X display, no Wayland display and no video driver named:
// the game says why on stderr and ends with 1 at once, instead of running
// where nobody can see it or waiting on a question nobody can answer.
TEST(NoDisplay, SaysSoOnStderrAndEndsWithOne)
{
    GameProcess game("");
    ASSERT_TRUE(game.Started()) << "could not start the game";
    ASSERT_TRUE(game.WaitForExit(exitTimeoutMs)) << "the game hung without a display; "
                                                 << game.Describe();
    EXPECT_EQ(game.KillSignal(), 0) << game.Describe();
    EXPECT_EQ(game.ExitCode(), 1) << game.Describe();

    const std::string log = game.Stderr();
    EXPECT_NE(log.find("Video unavailable: no display to open the window on"), std::string::npos)
        << log;
    EXPECT_NE(log.find("ERROR: Failed To Register The Window Class.\n"), std::string::npos) << log;
    EXPECT_TRUE(SplitStderr(log).debug.empty()) << "the game never started, so logs nothing:\n"
                                                << log;
}
