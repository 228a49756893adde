#include <string>

#include <X11/keysym.h>

#include "debug_lines.h"
#include "e2e_test.h"
#include "x_session.h"

// Presses F1 and waits for the game's window to go and a new one to show,
// full screen (the pointer hidden) or not as wanted. F1 is let go as soon
// as the old window goes: held longer, the keyboard's auto-repeat would
// switch again.
static Window SwitchWith(Display *display, GameProcess &game, Window window, bool fullscreen)
{
    WatchWindow(display, window);
    // A key sent before the window has the focus would be lost.
    if (!WaitForFocus(display, window, windowTimeoutMs))
        return None;
    PressKey(display, XK_F1);
    const bool gone = WaitForWindowGone(display, window, windowTimeoutMs);
    ReleaseKey(display, XK_F1);
    if (!gone)
        return None;
    return WaitForGameWindow(display, game, windowTimeoutMs, [display, fullscreen](Window) {
        return PointerHidden(display) == fullscreen;
    });
}

// F1 closes the window and opens one with the other full-screen setting;
// the game goes on in it with its font and its world.
TEST_F(EndToEnd, F1SwitchesToWindowAndBack)
{
    window = WaitForGameWindow(display, *game, windowTimeoutMs,
                               [this](Window) { return PointerHidden(display); });
    ASSERT_NE(window, None) << "the game starts full screen, with the pointer hidden";
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();

    window = SwitchWith(display, *game, window, false);
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

    window = SwitchWith(display, *game, window, true);
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
