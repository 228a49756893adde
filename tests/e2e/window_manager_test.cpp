#include <string>

#include <poll.h>

#include "debug_lines.h"
#include "display_mode.h"
#include "e2e_test.h"
#include "x_session.h"

#include <X11/Xutil.h>

namespace {

// A desktop of Base (on the server serverOf gives) with openbox managing
// it, as on a player's desktop.
template <class Base, XServer *(*serverOf)(std::string &)>
class Managed : public Base {
protected:
    void SetUp() override
    {
        std::string error;
        XServer *on = serverOf(error);
        ASSERT_NE(on, nullptr) << error;
        ASSERT_TRUE(on->StartWindowManager(error)) << error;
        Base::SetUp();
    }
    void TearDown() override
    {
        Base::TearDown();
        if (this->server)
            this->server->StopWindowManager();
    }
};

// The mode-switching desktop, managed.
class UnderWindowManager : public Managed<RealDesktop, ModeSwitchingServer> {
protected:
    // Brought back from minimised: the game has the keyboard, its window
    // is shown, and it draws full screen in its own 800x600 again.
    void ExpectBackInTheGame()
    {
        EXPECT_TRUE(WaitForFocus(display, window, windowTimeoutMs))
            << "back, the game did not get the focus";
        EXPECT_TRUE(WaitForWindowState(display, window, NormalState, windowTimeoutMs))
            << "back, the game's state is " << WindowState(display, window);
        EXPECT_TRUE(ShowsDisplayMode(display, 800, 600, windowTimeoutMs)) << "back in the game";
        EXPECT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "back, no frames; "
                                                                << game->Describe();
    }
};

// Another program's window: plain, mapped on top and given the focus as a
// task bar would.
class OtherWindow {
public:
    explicit OtherWindow(Display *display) : display(display)
    {
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 100, 320, 240, 0,
                                     0, WhitePixel(display, DefaultScreen(display)));
        XStoreName(display, window, "Another program");
        XMapRaised(display, window);
        XSync(display, False);
        ActivateWindow(display, window);
    }
    ~OtherWindow()
    {
        XDestroyWindow(display, window);
        XSync(display, False);
    }
    Window Id() const { return window; }

private:
    Display *display;
    Window   window = None;
};

// SDL's X11 backend acts on a focus change only once it has held for 200 ms
// (so that a window manager's passing focus changes are not seen): a player
// who turned away sooner than that would find the game still full screen
// behind the other window. Players stay longer.
constexpr int focusHeldMs = 400;

// Rocks move in every frame the game draws: a screen that shows the game
// never rests this long.
constexpr int stillMs = 300;

// Full screen, then the player turns to another window and comes back. SDL
// minimises a full-screen window that loses the focus: while the player is
// away the game is iconified, the screen rests and the desktop has its
// 1280x1024, where the player picks 640x480; activated again, the game is
// full screen in 800x600 and drawing, and at its end the player's 640x480
// comes back (SDL alone would put back the 1280x1024 it saw at its start).
TEST_F(UnderWindowManager, AwayTheDesktopHasItsModeBackTheGameHasItsOwn)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    ASSERT_TRUE(WaitForFocus(display, window, windowTimeoutMs)) << "the game starts with the focus";
    poll(nullptr, 0, focusHeldMs);
    {
        const OtherWindow other(display);
        ASSERT_TRUE(WaitForFocus(display, other.Id(), windowTimeoutMs))
            << "the other window did not get the focus";
        EXPECT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, windowTimeoutMs))
            << "while the player is away";
        EXPECT_TRUE(WaitForWindowState(display, window, IconicState, windowTimeoutMs))
            << "the game is not minimised: its state is " << WindowState(display, window);
        EXPECT_TRUE(WaitForStillScreen(display, stillMs, windowTimeoutMs))
            << "the screen never rested: the game still draws on it";
        ASSERT_TRUE(SetDisplayMode(display, 640, 480)) << "the player's own mode";

        ActivateWindow(display, window);
        ExpectBackInTheGame();
        const Picture screen = ReadScreen(display);
        EXPECT_TRUE(ShowsScoreText(screen)) << "back in the game";
        EXPECT_TRUE(ShowsColouredRocks(screen)) << "back in the game";
        EXPECT_TRUE(PointerHidden(display)) << "back in the game";
    }
    ASSERT_TRUE(EndsNormallyOnEscape());
    EXPECT_TRUE(ShowsDisplayMode(display, 640, 480, restoreMs)) << "after the game's end";
    EXPECT_TRUE(EndsWithShutdownLines(game->Stderr()));
}

// A second start (a double-click on the menu entry) while the game is
// minimised behind another window: it ends at once with 0 and says why,
// and the game that runs comes back full screen with the focus, as from a
// task bar. Two games would fight over the display mode.
TEST_F(UnderWindowManager, SecondStartBringsTheFirstBack)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    ASSERT_TRUE(WaitForFocus(display, window, windowTimeoutMs)) << "the game starts with the focus";
    poll(nullptr, 0, focusHeldMs);
    {
        const OtherWindow other(display);
        ASSERT_TRUE(WaitForWindowState(display, window, IconicState, windowTimeoutMs))
            << "the game is not minimised: its state is " << WindowState(display, window);
        ASSERT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, windowTimeoutMs))
            << "while the player is away";

        GameProcess second(server->DisplayName());
        ASSERT_TRUE(second.Started()) << "could not start the second game";
        ASSERT_TRUE(second.WaitForExit(exitTimeoutMs)) << "the second game runs; "
                                                       << second.Describe();
        EXPECT_EQ(second.ExitCode(), 0) << second.Describe();
        EXPECT_NE(second.Stderr().find("Quarvel is already running on this display"),
                  std::string::npos)
            << second.Describe();

        ExpectBackInTheGame();
    }
    ASSERT_TRUE(EndsNormallyOnEscape());
    EXPECT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs))
        << "after the game's end";
}

// F1's window resized by the player to 1200x600: the picture keeps the
// playfield's 4:3 shape, 800x600 in the middle with black bars either side,
// instead of a view that widens and shows the playfield's seams.
TEST_F(UnderWindowManager, AResizedWindowShowsTheFourByThreePictureWithBars)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    window = SwitchWithF1(display, *game, window, false, windowTimeoutMs);
    ASSERT_NE(window, None) << "F1 did not give a window; " << game->Describe();
    XResizeWindow(display, window, 1200, 600);
    XWindowAttributes attributes{};
    for (int waited = 0; waited < windowTimeoutMs; waited += 20) {
        XGetWindowAttributes(display, window, &attributes);
        if (attributes.width == 1200 && attributes.height == 600)
            break;
        poll(nullptr, 0, 20);
    }
    ASSERT_EQ(attributes.width, 1200) << "openbox did not resize the window";
    ASSERT_EQ(attributes.height, 600);
    // The next frames are drawn at the new size
    const Picture picture = ReadFourByThree(
        display, [this] { return ReadWindow(display, window); }, framesTimeoutMs);
    EXPECT_TRUE(ShowsFourByThreePicture(picture));
    EXPECT_TRUE(ShowsScoreText(picture));
    EXPECT_TRUE(ShowsColouredRocks(picture));
    ASSERT_TRUE(EndsNormallyOnEscape());
}

// Two monitors, the primary right of the other, managed.
using TwoMonitorsUnderWindowManager = Managed<TwoMonitorDesktop, TwoMonitorServer>;

// The player turns to another program's window, on the other monitor: the
// game stays full screen on the primary and goes on, as a window would,
// instead of being minimised (SDL's way back to the desktop's mode, made
// for one monitor, left the primary dark and ended the game with an X
// error); back in it, Escape leaves both monitors as they were.
TEST_F(TwoMonitorsUnderWindowManager, AwayTheGameStaysOnThePrimary)
{
    const std::string &name = server->DisplayName();
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    ASSERT_TRUE(WaitForFocus(display, window, windowTimeoutMs)) << "the game starts with the focus";
    poll(nullptr, 0, focusHeldMs);
    {
        const OtherWindow other(display);
        ASSERT_TRUE(WaitForFocus(display, other.Id(), windowTimeoutMs))
            << "the other window did not get the focus";
        EXPECT_TRUE(WaitForFrames(display, 3, framesTimeoutMs))
            << "the game stopped drawing; " << game->Describe();
        EXPECT_TRUE(ShowsOutputs(name, {otherMonitor, "DUMMY0 connected primary 800x600+1280+0"},
                                 0))
            << "while the player is on the other monitor";
        EXPECT_EQ(WindowState(display, window), NormalState) << "the game was minimised";
        ActivateWindow(display, window);
        ASSERT_TRUE(WaitForFocus(display, window, windowTimeoutMs)) << "back in the game";
    }
    ASSERT_TRUE(EndsNormallyOnEscape());
    EXPECT_TRUE(ShowsXrandrState(name, desktop, restoreMs)) << "after the game's end";
}

} // namespace
