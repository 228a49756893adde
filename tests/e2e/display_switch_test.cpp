#include <csignal>
#include <string>

#include <poll.h>
#include <unistd.h>

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

namespace {

// The display guardian as ps shows it.
const std::string guardianName = "quarvel-guard";

// How the game ends after the player's own mode.
enum class End { Escape, Sigkill };

std::string EndName(const ::testing::TestParamInfo<End> &info)
{
    return info.param == End::Escape ? "Escape" : "Sigkill";
}

class PlayersMode : public RealDesktop, public ::testing::WithParamInterface<End> {};

// On a desktop that really switches modes: the window is on the desktop's
// 1280x1024, where the player picks 640x480 (xrandr); full screen is 800x600
// again, and the player's 640x480 is what comes back at the end, whether
// the game ends itself (SDL would put back the 1280x1024 it saw at its
// start) or is killed.
TEST_P(PlayersMode, ComesBackAfterF1ToFullScreen)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    window = SwitchWithF1(display, *game, window, false, windowTimeoutMs);
    ASSERT_NE(window, None) << "F1 did not give a window; " << game->Describe();
    EXPECT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs))
        << "with the game in a window";
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    ASSERT_TRUE(SetDisplayMode(display, 640, 480)) << "the player's own mode";

    window = SwitchWithF1(display, *game, window, true, windowTimeoutMs);
    ASSERT_NE(window, None) << "F1 did not go back to full screen; " << game->Describe();
    EXPECT_TRUE(ShowsDisplayMode(display, 800, 600, windowTimeoutMs)) << "full screen again";
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    EXPECT_TRUE(ShowsScoreText(ReadScreen(display))) << "full screen again";

    if (GetParam() == End::Escape) {
        ASSERT_TRUE(EndsNormallyOnEscape());
    } else {
        game->Signal(SIGKILL);
        ASSERT_TRUE(game->WaitForExit(exitTimeoutMs)) << game->Describe();
    }
    EXPECT_TRUE(ShowsDisplayMode(display, 640, 480, restoreMs)) << "after the game's end";
}

INSTANTIATE_TEST_SUITE_P(, PlayersMode, ::testing::Values(End::Escape, End::Sigkill),
                         EndName);

// The guardian killed while the game is in a window: the game reaps it,
// says so, and the next full screen has a new one, which gives the desktop
// its mode back after kill -9.
TEST_F(RealDesktop, LostGuardianIsReplacedBeforeTheNextFullScreen)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    window = SwitchWithF1(display, *game, window, false, windowTimeoutMs);
    ASSERT_NE(window, None) << "F1 did not give a window; " << game->Describe();
    const pid_t first = game->ChildNamed(guardianName);
    ASSERT_GT(first, 0) << "no " << guardianName << " beside the game";
    kill(first, SIGKILL);
    // Reaped, not left a zombie for the rest of the game
    bool reaped = false;
    for (int waited = 0; !reaped && waited < restoreMs; waited += 10) {
        reaped = access(("/proc/" + std::to_string(first)).c_str(), F_OK) != 0;
        poll(nullptr, 0, 10);
    }
    EXPECT_TRUE(reaped) << "the killed guardian is still there (a zombie?)";

    window = SwitchWithF1(display, *game, window, true, windowTimeoutMs);
    ASSERT_NE(window, None) << "F1 did not go back to full screen; " << game->Describe();
    EXPECT_TRUE(ShowsDisplayMode(display, 800, 600, windowTimeoutMs)) << "full screen again";
    const pid_t second = game->ChildNamed(guardianName);
    EXPECT_GT(second, 0) << "no new guardian for the new full screen";
    EXPECT_NE(second, first);

    game->Signal(SIGKILL);
    ASSERT_TRUE(game->WaitForExit(exitTimeoutMs)) << game->Describe();
    EXPECT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs))
        << "after kill -9; " << game->Describe();
    const StderrLines lines = SplitStderr(game->Stderr());
    ASSERT_EQ(lines.other.size(), 1u) << game->Stderr();
    EXPECT_EQ(lines.other[0], "Display guard lost: killed by signal 9");
}

} // namespace

namespace {

// A desktop of 1024x768 that offers 640x480 and no 800x600, at 24 bits
// (every Linux desktop today) and at 16: an X server cannot change its
// depth, so the game really switches to 640x480 at the desktop's own depth
// and shows the whole playfield in it, score included, instead of asking
// "Use Windowed Mode Instead?". Each depth has a server of its own.
class SmallDesktop : public EndToEnd, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(small.Start(error)) << error;
        ASSERT_TRUE(ShowsDisplayMode(small.Connection(), smallDesktopWidth, smallDesktopHeight, 0))
            << "before the game";
        desktop = XrandrState(small.DisplayName());
        // A dummy driver that added its built-in 800x600 would let the game
        // take that and never try the fallback
        ASSERT_NE(desktop.find("\n  640x480 ("), std::string::npos) << desktop;
        ASSERT_EQ(desktop.find("\n  800x600 ("), std::string::npos) << desktop;
        StartGame(small);
    }
    XServer     small{XServer::Kind::XorgDummyFallbackOnly, GetParam()};
    std::string desktop; // XrandrState before the game
};

TEST_P(SmallDesktop, FallsBackToSixFortyByFourEighty)
{
    window = WaitForGameWindow(display, *game, windowTimeoutMs,
                               [this](Window) { return PointerHidden(display); });
    ASSERT_NE(window, None) << "full screen, with the pointer hidden; " << game->Describe();
    EXPECT_TRUE(ShowsDisplayMode(display, 640, 480, windowTimeoutMs))
        << "the desktop switched for the game; " << game->Describe();
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
    int    x = -1, y = -1;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    EXPECT_EQ(attributes.width, 640);
    EXPECT_EQ(attributes.height, 480);
    EXPECT_EQ(x, 0) << "the window covers the screen";
    EXPECT_EQ(y, 0) << "the window covers the screen";
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    const Picture screen =
        ReadFourByThree(display, [this] { return ReadScreen(display); }, framesTimeoutMs);
    EXPECT_TRUE(ShowsFourByThreePicture(screen));
    EXPECT_TRUE(ShowsScoreText(screen));
    EXPECT_TRUE(ShowsColouredRocks(screen));

    ASSERT_TRUE(EndsNormallyOnEscape());
    EXPECT_TRUE(ShowsXrandrState(small.DisplayName(), desktop, restoreMs))
        << "the desktop's own mode back after the game";
}

INSTANTIATE_TEST_SUITE_P(, SmallDesktop, ::testing::Values(24, 16),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return "Depth" + std::to_string(info.param);
                         });

} // namespace

namespace {

class TwoMonitors : public TwoMonitorDesktop, public ::testing::WithParamInterface<End> {};

// Full screen switches the primary, not the monitor at 0,0, and the other
// keeps its mode and place; F1's window opens on the primary and both
// monitors are as they were; moved onto the other monitor, F1 switches
// that one; and the end, however it comes, leaves XRandR as it was.
TEST_P(TwoMonitors, FullScreenOnTheMonitorThePlayerMeans)
{
    const std::string &name = server->DisplayName();
    EXPECT_TRUE(ShowsOutputs(name, {otherMonitor, "DUMMY0 connected primary 800x600+1280+0"},
                             windowTimeoutMs))
        << "full screen on the primary";
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();

    window = SwitchWithF1(display, *game, window, false, windowTimeoutMs);
    ASSERT_NE(window, None) << "F1 did not give a window; " << game->Describe();
    EXPECT_EQ(XrandrState(name), desktop) << "with the game in a window";
    int    x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    EXPECT_GE(x, 1280) << "F1's window is not on the primary, where full screen was";

    XMoveWindow(display, window, 100, 100);
    XSync(display, False);
    // The game has drawn since, so it has seen its window move
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    // The pointer is where the server put it as that monitor went dark for
    // a moment, on the primary: the new window is told by its place
    window = SwitchWithF1Until(display, *game, window, [this](Window shown) {
        int x = -1, y = -1;
        Window child;
        XTranslateCoordinates(display, shown, DefaultRootWindow(display), 0, 0, &x, &y, &child);
        return x == 0 && y == 0;
    }, windowTimeoutMs);
    ASSERT_NE(window, None) << "F1 did not go back to full screen on that monitor; "
                            << game->Describe();
    EXPECT_TRUE(ShowsOutputs(name, {"DUMMY1 connected 800x600+0+0", primaryMonitor},
                             windowTimeoutMs))
        << "full screen on the monitor the window was moved to";
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();

    if (GetParam() == End::Escape) {
        ASSERT_TRUE(EndsNormallyOnEscape());
    } else {
        game->Signal(SIGKILL);
        ASSERT_TRUE(game->WaitForExit(exitTimeoutMs)) << game->Describe();
    }
    EXPECT_TRUE(ShowsXrandrState(name, desktop, restoreMs))
        << "after the game's end; " << game->Describe();
}

INSTANTIATE_TEST_SUITE_P(, TwoMonitors, ::testing::Values(End::Escape, End::Sigkill),
                         EndName);

} // namespace
