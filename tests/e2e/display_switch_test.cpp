#include <string>

#include <X11/keysym.h>

#include "debug_lines.h"
#include "display_mode.h"
#include "e2e_test.h"
#include "x_session.h"

// F1 closes the window and opens one with the other full-screen setting;
// the game goes on in it with its font and its world.
TEST_F(EndToEnd, F1SwitchesToWindowAndBack)
{
    window = WaitForGameWindow(display, *game, windowTimeoutMs,
                               [this](Window) { return PointerHidden(display); });
    ASSERT_NE(window, None) << "the game starts full screen, with the pointer hidden";
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();

    window = SwitchWithF1(display, *game, window, false, windowTimeoutMs);
    ASSERT_NE(window, None) << "F1 did not give a window with the pointer shown; "
                            << game->Describe();
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
    EXPECT_EQ(attributes.width, 800) << "client area width";
    EXPECT_EQ(attributes.height, 600) << "client area height";
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    Picture screen = ReadScreen(display);
    EXPECT_TRUE(ShowsScoreText(screen)) << "in the window";
    EXPECT_TRUE(ShowsColouredRocks(screen)) << "in the window";

    window = SwitchWithF1(display, *game, window, true, windowTimeoutMs);
    ASSERT_NE(window, None) << "F1 did not go back to full screen; " << game->Describe();
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    screen = ReadScreen(display);
    EXPECT_TRUE(ShowsScoreText(screen)) << "back in full screen";
    EXPECT_TRUE(ShowsColouredRocks(screen)) << "back in full screen";

    ASSERT_TRUE(EndsNormallyOnEscape());

    const std::string log = game->Stderr();
    EXPECT_TRUE(EndsWithShutdownLines(log));
    // Every window gets the whole render set-up; the game ends once
    const StderrLines lines = SplitStderr(log);
    EXPECT_EQ(CountDebugLines(lines, "InitVSync: VSync extension not supported!"), 3) << log;
    EXPECT_EQ(CountDebugLines(lines, "SetVSyncState(false)"), 3) << log;
    EXPECT_EQ(CountDebugLines(lines, "Program terminated."), 1) << log;
}

// On a desktop that really switches modes: the window is on the desktop's
// 1280x1024, full screen is 800x600 again.
TEST_F(RealDesktop, F1GivesTheDesktopItsModeAndTakesItAgain)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    window = SwitchWithF1(display, *game, window, false, windowTimeoutMs);
    ASSERT_NE(window, None) << "F1 did not give a window; " << game->Describe();
    EXPECT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs))
        << "with the game in a window";
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();

    window = SwitchWithF1(display, *game, window, true, windowTimeoutMs);
    ASSERT_NE(window, None) << "F1 did not go back to full screen; " << game->Describe();
    EXPECT_TRUE(ShowsDisplayMode(display, 800, 600, windowTimeoutMs)) << "full screen again";
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    EXPECT_TRUE(ShowsScoreText(ReadScreen(display))) << "full screen again";

    ASSERT_TRUE(EndsNormallyOnEscape());
    EXPECT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs))
        << "after the game's end";
}
