// The game on today's Wayland desktops: headless mutter (GNOME) and
// kwin_wayland (KDE), each natively (SDL's Wayland driver) and through
// their XWayland (SDL's X11 driver). One walk per compositor and way: full
// screen at the start with no question, F1 to a window and back, F1 held
// (the auto-repeat switches) and let go (they stop), Escape with exit code
// 0; then a second start ended by SIGTERM with 0. Nothing of the game is
// left, and the compositor still runs and answers.
//
// Natively no other client can see the game's window, so full screen is
// read from the game's own account of its window (QUARVEL_VIDEO_LOG=1:
// SDL's window and drawable size, its full-screen flag, the output's mode);
// through XWayland the X server shows the window, its state and picture.
//
// A compositor that is not installed skips its tests, and says so; with
// QUARVEL_REQUIRE_WAYLAND=1 (CI) that is a failure instead.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "compositor.h"
#include "compositor_keys.h"
#include "debug_lines.h"
#include "game_process.h"
#include "picture.h"
#include "x_session.h"

// Generous: a loaded 2-core machine runs a compositor, XWayland, llvmpipe
// and the game at once. They only keep a hang from hanging the run.
constexpr int startMs = 20000;
constexpr int switchMs = 10000;
constexpr int exitMs = 15000;
constexpr int leftoversMs = 2000;
// After F1 is let go, no switch may follow for this long: an auto-repeat
// that outlived its key would switch again within it.
constexpr int quietMs = 1500;
// F1 held goes past the repeat delay (600 ms on both) into repeats: held
// until they have switched this often.
constexpr size_t heldSwitches = 3;

using Clock = std::chrono::steady_clock;

static void Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The game's "video: " lines so far: its windows as shown, and each time
// one got the keyboard.
struct VideoLog {
    std::vector<std::string> shown;    // "video: shown: ..." texts after "shown: "
    size_t                   destroyed = 0; // windows the game has taken down
    int                      keyboard = 0;  // how many had been shown when one last got the keyboard
    int                      refused = 0; // full-screen switches the game took as refused
    bool                     asked = false; // the full-screen question came up
};

static VideoLog ReadVideoLog(GameProcess &game)
{
    VideoLog log;
    std::istringstream lines(game.Stderr());
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("video: shown: ", 0) == 0)
            log.shown.push_back(line.substr(14));
        else if (line.rfind("video: destroyed: ", 0) == 0)
            log.destroyed += 1;
        else if (line.rfind("video: keyboard: ", 0) == 0)
            log.keyboard = static_cast<int>(log.shown.size());
        else if (line.rfind("video: full screen refused", 0) == 0)
            log.refused += 1;
        if (line.find("The Requested Fullscreen Mode Is Not Supported") != std::string::npos)
            log.asked = true;
    }
    return log;
}

// Waits until the game has shown count windows and the last has the
// keyboard; false at the timeout or when the game ended.
static bool WaitForWindows(GameProcess &game, size_t count, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const VideoLog log = ReadVideoLog(game);
        if (log.shown.size() >= count && log.keyboard >= static_cast<int>(count))
            return true;
        if (Clock::now() >= deadline || game.WaitForExit(0))
            return false;
        Pause(20);
    }
}

// Waits until the game has taken down count windows: it has read the key
// that switches; false at the timeout or when the game ended.
static bool WaitForDestroyed(GameProcess &game, size_t count, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (ReadVideoLog(game).destroyed < count) {
        if (Clock::now() >= deadline || game.WaitForExit(0))
            return false;
        Pause(10);
    }
    return true;
}

// Full screen at the output's own size (1280x1024), drawn at its pixels:
// not an 800x600 picture the compositor stretches over it.
static bool FullScreenOverTheOutput(const std::string &shown)
{
    return shown.find("window 1280x1024, drawable 1280x1024, full screen") != std::string::npos;
}

// The compositors, each started the first time a test asks for it and
// shared by its two ways; stopped at the end of the run.
static Compositor mutter(Compositor::Kind::Mutter);
static Compositor kwin(Compositor::Kind::Kwin);

class CompositorEnvironment : public ::testing::Environment {
public:
    void TearDown() override
    {
        mutter.Stop();
        kwin.Stop();
    }
};

enum class Way { Native, XWayland };

class OnCompositor : public ::testing::Test {
protected:
    // Starts the compositor if it is not up (skips when it is not
    // installed), then the game on it, and waits for its full-screen window
    // with the keyboard.
    void StartOn(Compositor &on, Way way);
    // The game's picture and window as its XWayland shows them: full screen.
    void CheckXWaylandWindow();
    // Presses or lets go of a key; a failure ends the test.
    void Key(int evdev, bool down);
    // The whole walk on one compositor and way.
    void Walk(Compositor &on, Way way);
    void TearDown() override;

    Compositor                     *compositor = nullptr;
    Way                             way = Way::Native;
    std::unique_ptr<CompositorKeys> keys;
    std::unique_ptr<GameProcess>    game;
};

void OnCompositor::StartOn(Compositor &on, Way chosen)
{
    compositor = &on;
    way = chosen;
    if (!on.XConnection()) {
        const std::vector<std::string> missing = on.MissingPrograms();
        if (!missing.empty()) {
            std::string names;
            for (const std::string &program : missing)
                names += " " + program;
            const char *required = std::getenv("QUARVEL_REQUIRE_WAYLAND");
            if (required && std::strcmp(required, "1") == 0)
                FAIL() << on.Name() << " cannot be tested, not installed:" << names
                       << " (QUARVEL_REQUIRE_WAYLAND=1 asks for it)";
            GTEST_SKIP() << on.Name() << " is not installed (missing:" << names
                         << "): its tests are skipped; scripts/install-deps installs it";
        }
        std::string error;
        ASSERT_TRUE(on.Start(error)) << error;
    }
    std::string why;
    // The input device first, as on a desktop: the seat has its keyboard
    // before the game comes
    keys = OpenCompositorKeys(on, way == Way::Native, why);
    ASSERT_NE(keys, nullptr) << "no keyboard on " << on.Name() << ": " << why;

    std::vector<std::string> environment = on.SessionEnvironment();
    environment.push_back(std::string("SDL_VIDEODRIVER=") +
                          (way == Way::Native ? "wayland" : "x11"));
    environment.push_back("QUARVEL_VIDEO_LOG=1");
    game = std::make_unique<GameProcess>(on.XDisplayName(), environment);
    ASSERT_TRUE(game->Started()) << "could not start the game";
    ASSERT_TRUE(WaitForWindows(*game, 1, startMs))
        << "no window with the keyboard on " << on.Name() << "; " << game->Describe();
    const VideoLog log = ReadVideoLog(*game);
    EXPECT_FALSE(log.asked) << "the full-screen question came up; " << game->Describe();
    EXPECT_EQ(log.refused, 0) << "a full-screen switch was taken as refused; " << game->Describe();
    EXPECT_NE(log.shown[0].find(way == Way::Native ? "driver wayland" : "driver x11"),
              std::string::npos)
        << log.shown[0];
    EXPECT_NE(log.shown[0].find("full screen"), std::string::npos)
        << "the first window is not full screen: " << log.shown[0];
    // Natively the game draws at the 1280x1024 output's own pixels, which
    // keeps its mode
    if (way == Way::Native) {
        EXPECT_TRUE(FullScreenOverTheOutput(log.shown[0]) &&
                    log.shown[0].find("display 1280x1024") != std::string::npos)
            << "not drawn at the whole output's pixels: " << log.shown[0];
    } else {
        CheckXWaylandWindow();
    }
}

void OnCompositor::CheckXWaylandWindow()
{
    Display *display = compositor->XConnection();
    const Window window = WaitForGameWindow(display, *game, startMs);
    ASSERT_NE(window, None) << "the game's window is not on " << compositor->Name()
                            << "'s XWayland; " << game->Describe();
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    Window child = None;
    int x = -1, y = -1;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    // XWayland only emulates modes, which the compositor would stretch: the
    // game's full screen is the whole output at its own 1280x1024
    const bool size = attributes.width == 1280 && attributes.height == 1024;
    EXPECT_TRUE(size && x == 0 && y == 0)
        << "the game's window is " << attributes.width << "x" << attributes.height << " at " << x
        << "," << y;
    ::testing::Test::RecordProperty(std::string("xwayland_window_") + compositor->Name(),
                                    std::to_string(attributes.width) + "x" +
                                        std::to_string(attributes.height));
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    bool stateFullscreen = false;
    for (int tries = 0; tries < 100 && !stateFullscreen; ++tries) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(display, window, state, 0, 32, False, XA_ATOM, &type, &format,
                               &count, &after, &data) == Success && data) {
            const Atom *atoms = reinterpret_cast<const Atom *>(data);
            for (unsigned long i = 0; i < count; ++i)
                stateFullscreen = stateFullscreen || atoms[i] == fullscreen;
            XFree(data);
        }
        if (!stateFullscreen)
            Pause(20);
    }
    EXPECT_TRUE(stateFullscreen) << compositor->Name()
                                 << " does not hold the game's window full screen";
    // The picture: 4:3 with black bars, the score in its lower left
    // corner, rocks elsewhere. The window may be full screen before the
    // game's first picture is in it (SDL 3 on mutter 48's XWayland: black
    // for some 200 ms), or before the game has drawn at its new size, so
    // it is read until it shows them or the time is up.
    Picture picture = ReadWindow(display, window);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(switchMs);
    while ((!ShowsFourByThreePicture(picture) || !ShowsScoreText(picture) ||
            !ShowsColouredRocks(picture)) &&
           Clock::now() < deadline) {
        Pause(50);
        picture = ReadWindow(display, window);
    }
    EXPECT_TRUE(ShowsFourByThreePicture(picture));
    EXPECT_TRUE(ShowsScoreText(picture));
    EXPECT_TRUE(ShowsColouredRocks(picture));
}

void OnCompositor::Key(int evdev, bool down)
{
    std::string why;
    ASSERT_TRUE(keys->Key(evdev, down, why)) << why;
}

void OnCompositor::TearDown()
{
    // A game still running is killed with its leftovers; the keyboard goes
    // before the compositor
    game.reset();
    keys.reset();
}

void OnCompositor::Walk(Compositor &on, Way chosen)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(on, chosen));
    if (IsSkipped())
        return;

    // F1 to a window, exactly one switch, and back. Each press is held
    // until the game has taken its window down (it reads its keys once a
    // turn: a press let go within the same turn leaves no trace), and let
    // go before the new window is up: a slow switch would otherwise outlast
    // the repeat delay, or give the new window a key still down.
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, true));
    const bool taken = WaitForDestroyed(*game, 1, switchMs);
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, false));
    ASSERT_TRUE(taken && WaitForWindows(*game, 2, switchMs))
        << "F1 did not switch to a window; " << game->Describe();
    Pause(quietMs);
    VideoLog log = ReadVideoLog(*game);
    ASSERT_EQ(log.shown.size(), 2u) << "F1 pressed once switched more than once; "
                                    << game->Describe();
    EXPECT_NE(log.shown[1].find("window 800x600"), std::string::npos) << log.shown[1];
    EXPECT_NE(log.shown[1].find("windowed"), std::string::npos) << log.shown[1];
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, true));
    const bool takenBack = WaitForDestroyed(*game, 2, switchMs);
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, false));
    ASSERT_TRUE(takenBack && WaitForWindows(*game, 3, switchMs))
        << "F1 did not switch back to full screen; " << game->Describe();
    log = ReadVideoLog(*game);
    EXPECT_NE(log.shown[2].find("full screen"), std::string::npos) << log.shown[2];
    if (way == Way::Native) {
        EXPECT_TRUE(FullScreenOverTheOutput(log.shown[2])) << log.shown[2];
    }
    EXPECT_EQ(log.refused, 0) << game->Describe();

    // F1 held: the first press and its auto-repeats switch, each in the
    // window the last switch made; let go, they stop
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, true));
    const bool repeated = WaitForWindows(*game, 3 + heldSwitches, switchMs);
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, false));
    const size_t whileHeld = ReadVideoLog(*game).shown.size() - 3;
    EXPECT_TRUE(repeated) << "F1 held " << switchMs << " ms switched " << whileHeld
                          << " times: its auto-repeat did not carry on; " << game->Describe();
    Pause(quietMs);
    const size_t settled = ReadVideoLog(*game).shown.size();
    Pause(quietMs);
    log = ReadVideoLog(*game);
    EXPECT_EQ(log.shown.size(), settled)
        << "the game went on switching after F1 was let go; " << game->Describe();
    ASSERT_TRUE(WaitForWindows(*game, log.shown.size(), switchMs))
        << "the last window did not get the keyboard; " << game->Describe();
    EXPECT_EQ(log.refused, 0) << game->Describe();
    EXPECT_FALSE(log.asked) << game->Describe();

    // Escape, held until the game is gone, ends it with 0
    ASSERT_NO_FATAL_FAILURE(Key(evdevEscape, true));
    const bool ended = game->WaitForExit(exitMs);
    ASSERT_NO_FATAL_FAILURE(Key(evdevEscape, false));
    ASSERT_TRUE(ended) << "Escape did not end the game; " << game->Describe();
    EXPECT_EQ(game->KillSignal(), 0) << game->Describe();
    EXPECT_EQ(game->ExitCode(), 0) << game->Describe();
    EXPECT_TRUE(EndsWithShutdownLines(game->Stderr()));
    std::string survivors;
    EXPECT_TRUE(game->WaitForLeftoversGone(leftoversMs, survivors)) << survivors;
    std::string why;
    ASSERT_TRUE(on.Alive(why)) << "after the game: " << why;

    // Started again and ended by SIGTERM: 0 too (the last one's object goes
    // first: it would take the new game for one of its leftovers)
    game.reset();
    game = std::make_unique<GameProcess>(on.XDisplayName(), [&] {
        std::vector<std::string> environment = on.SessionEnvironment();
        environment.push_back(std::string("SDL_VIDEODRIVER=") +
                              (way == Way::Native ? "wayland" : "x11"));
        environment.push_back("QUARVEL_VIDEO_LOG=1");
        return environment;
    }());
    ASSERT_TRUE(WaitForWindows(*game, 1, startMs)) << game->Describe();
    game->Signal(SIGTERM);
    ASSERT_TRUE(game->WaitForExit(exitMs)) << "SIGTERM did not end the game; "
                                           << game->Describe();
    EXPECT_EQ(game->KillSignal(), 0) << game->Describe();
    EXPECT_EQ(game->ExitCode(), 0) << game->Describe();
    EXPECT_TRUE(EndsWithShutdownLines(game->Stderr()));
    EXPECT_TRUE(game->WaitForLeftoversGone(leftoversMs, survivors)) << survivors;
    EXPECT_TRUE(on.Alive(why)) << "after SIGTERM: " << why;
}

TEST_F(OnCompositor, MutterNatively)
{
    Walk(mutter, Way::Native);
}

TEST_F(OnCompositor, MutterThroughXWayland)
{
    Walk(mutter, Way::XWayland);
}

TEST_F(OnCompositor, KwinNatively)
{
    Walk(kwin, Way::Native);
}

TEST_F(OnCompositor, KwinThroughXWayland)
{
    Walk(kwin, Way::XWayland);
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new CompositorEnvironment);
    return RUN_ALL_TESTS();
}
