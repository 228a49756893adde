#include <string>

#include "debug_lines.h"
#include "e2e_test.h"
#include "x_session.h"

#include <X11/keysym.h>

namespace {

constexpr int switches = 200;

// The server's keyboard auto-repeat, off while it lives: a slow switch
// (the sanitizer build) must not turn one F1 into two.
class AutoRepeatOff {
public:
    explicit AutoRepeatOff(Display *display) : display(display)
    {
        XAutoRepeatOff(display);
        XSync(display, False);
    }
    ~AutoRepeatOff()
    {
        XAutoRepeatOn(display);
        XSync(display, False);
    }

private:
    Display *display;
};

// F1 tapped two hundred times, each time as soon as the new window shows,
// then Escape: every window comes with its own render set-up, the game
// still shows its rocks and score, and it ends normally with nothing on
// stderr but its own lines.
TEST_F(EndToEnd, TwoHundredF1SwitchesThenEscapeEndWithZero)
{
    const AutoRepeatOff noRepeat(display);
    window = WaitForGameWindow(display, *game, windowTimeoutMs,
                               [this](Window) { return PointerHidden(display); });
    ASSERT_NE(window, None) << "the game starts full screen; " << game->Describe();

    for (int i = 1; i <= switches; ++i) {
        const bool fullscreen = i % 2 == 0;
        window = SwitchWithF1(display, *game, window, fullscreen, windowTimeoutMs);
        ASSERT_NE(window, None) << "F1 number " << i << " gave no "
                                << (fullscreen ? "full-screen" : "windowed")
                                << " game window (or the one before never got the focus, or "
                                   "did not close); "
                                << game->Describe();
    }

    // The world came through: rocks and the score in the last window.
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    const Picture screen = ReadScreen(display);
    EXPECT_TRUE(ShowsScoreText(screen));
    EXPECT_TRUE(ShowsColouredRocks(screen));

    ASSERT_TRUE(EndsNormallyOnEscape());

    const std::string log = game->Stderr();
    EXPECT_TRUE(EndsWithShutdownLines(log));
    const StderrLines lines = SplitStderr(log);
    EXPECT_TRUE(lines.other.empty()) << "stderr holds more than the game's DEBUG lines "
                                        "(a leak report?):\n"
                                     << log;
    // One set-up per window: the first and one for each F1. Xvfb has no
    // swap control, so each says so.
    EXPECT_EQ(CountDebugLines(lines, "InitVSync: VSync extension not supported!"), switches + 1)
        << log;
    EXPECT_EQ(CountDebugLines(lines, "SetVSyncState(false)"), switches + 1) << log;
}

} // namespace
