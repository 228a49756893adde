#include <csignal>
#include <string>

#include <X11/keysym.h>

#include "debug_lines.h"
#include "e2e_test.h"
#include "x_session.h"

// A window manager's close box: WM_DELETE_WINDOW through WM_PROTOCOLS.
TEST_F(EndToEnd, CloseBoxEndsWithZero)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    ASSERT_TRUE(AcceptsDeleteWindow(display, window))
        << "without WM_DELETE_WINDOW a window manager kills the game instead of asking";
    SendDeleteWindow(display, window);
    ASSERT_TRUE(game->WaitForExit(exitTimeoutMs)) << "the close box did not end the game; "
                                                  << game->Describe();
    EXPECT_EQ(game->KillSignal(), 0) << game->Describe();
    EXPECT_EQ(game->ExitCode(), 0) << game->Describe();
    EXPECT_TRUE(EndsWithShutdownLines(game->Stderr()));
}

// Windows' keyboard way of closing a window, kept for players used to it.
TEST_F(EndToEnd, AltF4EndsWithZero)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    PressKey(display, XK_Alt_L);
    PressKey(display, XK_F4);
    const bool ended = game->WaitForExit(exitTimeoutMs);
    ReleaseKey(display, XK_F4);
    ReleaseKey(display, XK_Alt_L);
    ASSERT_TRUE(ended) << "Alt+F4 did not end the game; " << game->Describe();
    EXPECT_EQ(game->KillSignal(), 0) << game->Describe();
    EXPECT_EQ(game->ExitCode(), 0) << game->Describe();
    EXPECT_TRUE(EndsWithShutdownLines(game->Stderr()));
}

// Ctrl+C in the terminal and the session's SIGTERM end the game the
// normal way, so the desktop gets its display mode back.
class EndToEndSignal : public EndToEnd, public ::testing::WithParamInterface<int> {};

TEST_P(EndToEndSignal, EndsWithZero)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    game->Signal(GetParam());
    ASSERT_TRUE(game->WaitForExit(exitTimeoutMs)) << "the signal did not end the game; "
                                                  << game->Describe();
    EXPECT_EQ(game->KillSignal(), 0) << game->Describe();
    EXPECT_EQ(game->ExitCode(), 0) << game->Describe();
    EXPECT_TRUE(EndsWithShutdownLines(game->Stderr()));
}

INSTANTIATE_TEST_SUITE_P(, EndToEndSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::string(info.param == SIGTERM ? "Sigterm" : "Sigint");
                         });
