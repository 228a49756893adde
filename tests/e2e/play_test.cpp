#include <cstdio>
#include <string>

#include <X11/keysym.h>

#include "debug_lines.h"
#include "e2e_test.h"
#include "x_session.h"

// The ship stands at rest in the middle: 0.6 units tall, some 22 pixels.
static const Box shipBox{370, 270, 430, 330};

// A short game played through the X server: the ship answers the keys, the
// screen shows the score and the rocks, Escape ends the game normally.
TEST_F(EndToEnd, PlayShowsScoreAndRocksAndEscapeEndsWithZero)
{
    // Stars drift only while the ship moves, and the rocks start far from
    // the middle: without a key the middle stays still.
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    const Picture atRest = ReadScreen(display);
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    ASSERT_TRUE(atRest.SameIn(ReadScreen(display), shipBox))
        << "the middle of the screen changed while no key was down";

    ASSERT_TRUE(HoldKey(display, XK_Left, 10, framesTimeoutMs)) << game->Describe();
    const Picture turned = ReadScreen(display);
    EXPECT_FALSE(atRest.SameIn(turned, shipBox)) << "holding Left did not turn the ship";

    // The shield is a translucent sphere wider than the ship, drawn while
    // Z is held.
    PressKey(display, XK_z);
    const bool drawn = WaitForFrames(display, 5, framesTimeoutMs);
    const Picture shielded = ReadScreen(display);
    ReleaseKey(display, XK_z);
    ASSERT_TRUE(drawn) << game->Describe();
    EXPECT_GT(shielded.Count(shipBox, IsLit), turned.Count(shipBox, IsLit) + 150)
        << "holding Z raised no shield around the ship";

    for (int shot = 0; shot < 3; ++shot) {
        ASSERT_TRUE(HoldKey(display, XK_space, 3, framesTimeoutMs)) << game->Describe();
        ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    }
    ASSERT_TRUE(HoldKey(display, XK_Up, 10, framesTimeoutMs)) << game->Describe();

    const Picture screen = ReadScreen(display);
    EXPECT_TRUE(ShowsScoreText(screen));
    EXPECT_TRUE(ShowsColouredRocks(screen));

    ASSERT_TRUE(EndsNormallyOnEscape());

    const std::string log = game->Stderr();
    EXPECT_TRUE(EndsWithShutdownLines(log));
    const StderrLines lines = SplitStderr(log);
    EXPECT_TRUE(lines.other.empty())
        << "every line on stderr is \"DEBUG: \", the text and CR LF; there are others:\n"
        << log;
    // Xvfb with llvmpipe has no swap control
    EXPECT_EQ(CountDebugLines(lines, "InitVSync: VSync extension not supported!"), 1) << log;
    EXPECT_EQ(CountDebugLines(lines, "SetVSyncState(false)"), 1) << log;

    // The average is the frames over the milliseconds times the float 0.001
    unsigned elapsed = 0, frames = 0;
    ASSERT_GE(lines.debug.size(), 4u) << log;
    const size_t n = lines.debug.size();
    ASSERT_EQ(std::sscanf(lines.debug[n - 4].c_str(), "Time difference: %u", &elapsed), 1) << log;
    ASSERT_EQ(std::sscanf(lines.debug[n - 3].c_str(), "Frames: %u", &frames), 1) << log;
    // At least one frame for each of the 49 picture changes waited for
    EXPECT_GE(frames, 49u) << log;
    char average[64];
    std::snprintf(average, sizeof average, "Average FPS: %f",
                  static_cast<double>(frames) / (static_cast<double>(elapsed) * 0.001f));
    EXPECT_EQ(lines.debug[n - 2], average);
}
