// The game on today's Wayland desktops: headless mutter (GNOME),
// kwin_wayland (KDE) and sway (wlroots), each natively (SDL's Wayland
// driver) and mutter and kwin through their XWayland (SDL's X11 driver), on
// a 1920x1080 output and on a 2560x1440 output at scale 2, one compositor
// start for each output. On 1920x1080 the whole walk: full screen at the
// start with no question, F1 to a window and back, F1 held (the
// auto-repeat switches) and let go (they stop), Escape with exit code 0;
// then a second start ended by SIGTERM with 0. At scale 2 the start, F1's
// window and back natively, and SIGTERM. Nothing of the game is left, and the
// compositor still runs and answers. sway's seat has no keyboard, so there
// the game is only started, looked at and ended by SIGTERM; its scale-2
// output is the second, with the focus, right of a 1920x1080 one.
//
// Full screen is the whole output, drawn at its device pixels, as the
// game's own account of its window says (QUARVEL_VIDEO_LOG=1: SDL's window
// and drawable size, its full-screen flag, the output's mode); through
// XWayland the X server shows the window, its state and picture. What the
// compositor shows is read where it lets a client see it (kwin's
// ScreenShot2, grim on sway, the game's window through XWayland): the 4:3
// picture with black bars, filling the output's height, the score sharp.
// mutter natively lets no client see its output: there the game's
// Wayland requests (WAYLAND_DEBUG=1) say at what size and scale its buffer
// goes to the output. QUARVEL_SHOTS_DIR=DIR writes what was seen at
// 1920x1080 there, one PPM per desktop (scripts/desktop-shots).
//
// A compositor that is not installed skips its tests, and says so; with
// QUARVEL_REQUIRE_WAYLAND=1 (CI) that is a failure instead.

#include <cctype>
#include <chrono>
#include <cstdio>
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
// F1 held this long goes past the repeat delay (600 ms on both) into
// repeats, also where each switch takes a loaded machine half a second to
// draw the first 1920x1080 picture.
constexpr int heldMs = 3500;

using Clock = std::chrono::steady_clock;

static void Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The game's "video: " lines so far: its windows as shown, and each time
// one got the keyboard.
struct VideoLog {
    std::vector<std::string> shown;    // "video: shown: ..." texts after "shown: "
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
        else if (line.rfind("video: keyboard: ", 0) == 0)
            log.keyboard = static_cast<int>(log.shown.size());
        else if (line.rfind("video: full screen refused", 0) == 0)
            log.refused += 1;
        if (line.find("The Requested Fullscreen Mode Is Not Supported") != std::string::npos)
            log.asked = true;
    }
    return log;
}

// Waits until the game has shown count windows and, where the seat has a
// keyboard, the last has it; false at the timeout or when the game ended.
static bool WaitForWindows(GameProcess &game, size_t count, int timeoutMs, bool keyboard = true)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const VideoLog log = ReadVideoLog(game);
        if (log.shown.size() >= count && (!keyboard || log.keyboard >= static_cast<int>(count)))
            return true;
        if (Clock::now() >= deadline || game.WaitForExit(0))
            return false;
        Pause(20);
    }
}

static std::string Size(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

// Full screen at the output's own size, drawn at its device pixels: not an
// 800x600 picture the compositor stretches or enlarges over it. The
// window's size is in the desktop's logical units.
static bool FullScreenOverTheOutput(const std::string &shown, const Compositor::Output &output)
{
    return shown.find("window " + Size(output.width / output.scale, output.height / output.scale) +
                      ", drawable " + Size(output.width, output.height) + ", full screen") !=
           std::string::npos;
}

// All that CheckPicture looks for: a rock passing the score, or a first
// picture not yet at the window's size, is waited out.
static bool ShowsWholePicture(const Picture &picture)
{
    return ShowsFourByThreePicture(picture) && ShowsScoreText(picture) &&
           ShowsColouredRocks(picture) && ShowsSharpScore(picture);
}

// The game's stderr without the lines of WAYLAND_DEBUG=1, which go on
// after its own last line
static std::string WithoutWaylandDebug(const std::string &text)
{
    std::istringstream lines(text);
    std::string line, kept;
    // "[2583925.608] ..." or, with libwayland 1.23, "[ 347958.967] ..."
    while (std::getline(lines, line)) {
        const size_t stamp = line.find_first_not_of(' ', 1);
        if (line.empty() || line[0] != '[' || stamp == std::string::npos ||
            !std::isdigit(static_cast<unsigned char>(line[stamp])))
            kept += line + "\n";
    }
    return kept;
}

// The outputs: the usual desktop monitor, and a laptop's 1440p panel at 2x
static const Compositor::Output fullHd{1920, 1080, 1};
static const Compositor::Output doubled{2560, 1440, 2};

// The compositors, one per output, each started the first time a test asks
// for it (the one up before is stopped then) and stopped at the end of the
// run; the tests of one are next to each other.
static Compositor mutter(Compositor::Kind::Mutter, fullHd);
static Compositor mutterDoubled(Compositor::Kind::Mutter, doubled);
static Compositor kwin(Compositor::Kind::Kwin, fullHd);
static Compositor kwinDoubled(Compositor::Kind::Kwin, doubled);
static Compositor sway(Compositor::Kind::Sway, fullHd);
// beside a 1920x1080 output, the focus on it: full screen goes where sway
// puts a new window, not to its first output
static Compositor swayDoubled(Compositor::Kind::Sway, doubled, true);
static Compositor *const compositors[] = {&mutter, &mutterDoubled, &kwin,
                                          &kwinDoubled, &sway, &swayDoubled};

class CompositorEnvironment : public ::testing::Environment {
public:
    void TearDown() override
    {
        for (Compositor *compositor : compositors)
            compositor->Stop();
    }
};

enum class Way { Native, XWayland };

class OnCompositor : public ::testing::Test {
protected:
    // Starts the compositor if it is not up (skips when it is not
    // installed), then the game on it, and waits for its full-screen window
    // (with the keyboard, where the seat has one); checks what the
    // compositor shows.
    void StartOn(Compositor &on, Way way);
    // The game started on the compositor the way chosen; waylandDebug logs
    // its Wayland requests (WAYLAND_DEBUG=1).
    void StartGame(bool waylandDebug = false);
    // The game's picture and window as its XWayland shows them: full screen.
    void CheckXWaylandWindow();
    // What the compositor shows of the game's full screen.
    void CheckOutput();
    // mutter natively: the game's buffer is the output's device pixels.
    void CheckBufferSize();
    // The picture seen: 4:3, centred, filling the output's height, the
    // score sharp; written to QUARVEL_SHOTS_DIR at 1920x1080.
    void CheckPicture(const Picture &picture);
    // Presses or lets go of a key; a failure ends the test.
    void Key(int evdev, bool down);
    // F1 to a window of 800x600 logical units and back to full screen,
    // each exactly once.
    void SwitchToWindowAndBack();
    // SIGTERM ends the game with 0, nothing of it left.
    void EndBySignal();
    // The whole walk on one compositor and way.
    void Walk(Compositor &on, Way way);
    // The start, F1's window and back natively, and SIGTERM.
    void ShortWalk(Compositor &on, Way way);
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
    if (!on.Running()) {
        for (Compositor *other : compositors)
            if (other != &on)
                other->Stop();
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
        ASSERT_TRUE(on.Start(error)) << on.Describe() << ": " << error;
    }
    std::string why;
    // The input device first, as on a desktop: the seat has its keyboard
    // before the game comes. sway's has none.
    if (on.CompositorKind() != Compositor::Kind::Sway) {
        keys = OpenCompositorKeys(on, way == Way::Native, why);
        ASSERT_NE(keys, nullptr) << "no keyboard on " << on.Name() << ": " << why;
    }
    // Natively where the compositor shows no client its output (mutter,
    // kwin 6 without OpenGL): the game's requests say what it shows, once
    // the keys are done with (the log grows by thousands of lines a second)
    const bool byRequests = way == Way::Native && !on.ShowsItsOutput();
    ASSERT_NO_FATAL_FAILURE(StartGame(byRequests && on.OutputSize().scale != 1));
    const VideoLog log = ReadVideoLog(*game);
    EXPECT_FALSE(log.asked) << "the full-screen question came up; " << game->Describe();
    EXPECT_EQ(log.refused, 0) << "a full-screen switch was taken as refused; " << game->Describe();
    EXPECT_NE(log.shown[0].find(way == Way::Native ? "driver wayland" : "driver x11"),
              std::string::npos)
        << log.shown[0];
    EXPECT_NE(log.shown[0].find("full screen"), std::string::npos)
        << "the first window is not full screen: " << log.shown[0];
    if (way == Way::Native) {
        // The output keeps its mode; the game draws at its device pixels
        EXPECT_TRUE(FullScreenOverTheOutput(log.shown[0], on.OutputSize()))
            << "not drawn at the whole " << on.Describe() << " output's pixels: " << log.shown[0];
        if (!byRequests)
            CheckOutput();
        else if (on.OutputSize().scale != 1)
            CheckBufferSize();
    } else {
        CheckXWaylandWindow();
    }
}

void OnCompositor::StartGame(bool waylandDebug)
{
    std::vector<std::string> environment = compositor->SessionEnvironment();
    environment.push_back(std::string("SDL_VIDEODRIVER=") +
                          (way == Way::Native ? "wayland" : "x11"));
    environment.push_back("QUARVEL_VIDEO_LOG=1");
    if (waylandDebug)
        environment.push_back("WAYLAND_DEBUG=1");
    game.reset();
    game = std::make_unique<GameProcess>(compositor->XDisplayName(), environment);
    ASSERT_TRUE(game->Started()) << "could not start the game";
    ASSERT_TRUE(WaitForWindows(*game, 1, startMs, keys != nullptr))
        << "no full-screen window" << (keys ? " with the keyboard" : "") << " on "
        << compositor->Describe() << "; " << game->Describe();
}

void OnCompositor::CheckOutput()
{
    // The window may be full screen before the game's first picture is in
    // it, or before it has drawn at its new size, so the output is read
    // until it shows the picture or the time is up
    // (kwin may offer its screenshots a moment after its start: a failed
    // read is tried again too)
    Picture picture;
    std::string why;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(switchMs);
    bool read = false;
    for (bool first = true; first || (!(read && ShowsWholePicture(picture)) &&
                                      Clock::now() < deadline);
         first = false) {
        if (!first)
            Pause(100);
        read = compositor->ReadOutput(picture, why);
    }
    ASSERT_TRUE(read) << why;
    CheckPicture(picture);
}

void OnCompositor::CheckBufferSize()
{
    // The buffers' sizes in device pixels (shared memory or dmabuf, as the
    // GL driver makes them) and how they go to the output: at the output's
    // buffer scale, or through a viewport whose destination is the output
    // in logical units (SDL 2.32 with fractional scaling); a viewport of
    // any other size stretches the picture. The requests up to the game's
    // first full-screen picture.
    const std::string requests = game->Stderr();
    const size_t shown = requests.find("video: shown: ");
    ASSERT_NE(shown, std::string::npos) << game->Describe();
    const Compositor::Output &output = compositor->OutputSize();
    std::istringstream lines(requests.substr(0, shown));
    std::string line, scale = "1", buffer = "none", destination = "none";
    while (std::getline(lines, line)) {
        const size_t scaleAt = line.find(".set_buffer_scale(");
        if (scaleAt != std::string::npos)
            scale = line.substr(scaleAt + 18, line.find(')', scaleAt) - scaleAt - 18);
        int width = 0, height = 0;
        // libwayland writes an object as wl_buffer@46 (1.21) or wl_buffer#46 (1.23)
        for (const char *made : {"create_buffer(new id wl_buffer%*[@#]%*d, %*d, %d, %d",
                                 "create_immed(new id wl_buffer%*[@#]%*d, %d, %d"}) {
            const std::string name = std::string(made).substr(0, 12);
            const size_t at = line.find(name);
            if (at != std::string::npos && std::sscanf(line.c_str() + at, made, &width, &height) == 2)
                buffer = Size(width, height);
        }
        const size_t viewportAt = line.find(".set_destination(");
        if (viewportAt != std::string::npos &&
            std::sscanf(line.c_str() + viewportAt, ".set_destination(%d, %d", &width, &height) == 2)
            destination = Size(width, height);
    }
    EXPECT_EQ(buffer, Size(output.width, output.height)) << "the game's last buffer";
    if (destination == "none")
        EXPECT_EQ(scale, std::to_string(output.scale)) << "the buffer scale the game's surface asks";
    else
        EXPECT_EQ(destination, Size(output.width / output.scale, output.height / output.scale))
            << "the game's surface goes through a viewport of another size: stretched";
}

void OnCompositor::CheckPicture(const Picture &picture)
{
    const Compositor::Output &output = compositor->OutputSize();
    EXPECT_EQ(Size(picture.width, picture.height), Size(output.width, output.height))
        << "what " << compositor->Describe() << " shows";
    EXPECT_TRUE(ShowsFourByThreePicture(picture));
    EXPECT_TRUE(ShowsScoreText(picture));
    EXPECT_TRUE(ShowsColouredRocks(picture));
    EXPECT_TRUE(ShowsSharpScore(picture));
    // How close to 4:3 what is lit is: the star field outlines the picture
    const Box lit = picture.Extent(Box{0, 0, picture.width, picture.height}, IsLit);
    if (!lit.Empty()) {
        std::ostringstream shape;
        shape << static_cast<double>(lit.right - lit.left) / (lit.bottom - lit.top);
        ::testing::Test::RecordProperty("lit_width_to_height", shape.str());
    }
    if (HasFailure()) {
        // What was seen, to look at
        const std::string seen = "/tmp/quarvel-seen-" + compositor->Describe() + "-" +
                                 (way == Way::Native ? "native" : "xwayland") + ".ppm";
        std::string file;
        for (const char c : seen)
            file += c == ' ' ? '-' : c;
        if (picture.WritePpm(file))
            ADD_FAILURE() << "what was seen is in " << file;
    }
    const char *folder = std::getenv("QUARVEL_SHOTS_DIR");
    if (folder && *folder && output.scale == 1) {
        const std::string name = compositor->CompositorKind() == Compositor::Kind::Kwin
                                     ? "kwin"
                                     : compositor->Name();
        EXPECT_TRUE(picture.WritePpm(std::string(folder) + "/" + name + ".ppm"));
    }
}

void OnCompositor::CheckXWaylandWindow()
{
    Display *display = compositor->XConnection();
    const Window window = WaitForGameWindow(display, *game, startMs);
    ASSERT_NE(window, None) << "the game's window is not on " << compositor->Name()
                            << "'s XWayland; " << game->Describe();
    // XWayland only emulates modes, which the compositor would stretch: the
    // game's full screen is the whole output at its own size (its device
    // pixels: X clients scale themselves). mutter 48 may show the window
    // below its title bar first, then full screen.
    const Compositor::Output &output = compositor->OutputSize();
    XWindowAttributes attributes{};
    int x = -1, y = -1;
    bool size = false;
    const Clock::time_point placed = Clock::now() + std::chrono::milliseconds(switchMs);
    for (bool first = true; first || (!(size && x == 0 && y == 0) && Clock::now() < placed);
         first = false) {
        if (!first)
            Pause(50);
        XGetWindowAttributes(display, window, &attributes);
        Window child = None;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
        size = attributes.width == output.width && attributes.height == output.height;
    }
    EXPECT_TRUE(size && x == 0 && y == 0)
        << "the game's window is " << attributes.width << "x" << attributes.height << " at " << x
        << "," << y;
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
    while (!ShowsWholePicture(picture) && Clock::now() < deadline) {
        Pause(50);
        picture = ReadWindow(display, window);
    }
    // What kwin shows of it too, where it can: it could still scale the
    // window
    if (compositor->ShowsItsOutput())
        CheckOutput();
    else
        CheckPicture(picture);
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

void OnCompositor::SwitchToWindowAndBack()
{
    // Each press held until it has switched: the game reads its keys once
    // a turn, and a press let go within the same turn leaves no trace
    // and let go as soon as the new window shows, before it has the
    // keyboard: SDL's X11 driver takes a key found held as a window gets
    // the keyboard for a new press, which would switch again
    const size_t before = ReadVideoLog(*game).shown.size();
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, true));
    const bool windowed = WaitForWindows(*game, before + 1, switchMs, false);
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, false));
    ASSERT_TRUE(windowed && WaitForWindows(*game, before + 1, switchMs))
        << "F1 did not switch to a window with the keyboard; " << game->Describe();
    Pause(quietMs);
    VideoLog log = ReadVideoLog(*game);
    ASSERT_EQ(log.shown.size(), before + 1) << "F1 pressed once switched more than once; "
                                            << game->Describe();
    // 800x600 in the desktop's logical units, drawn at its device pixels
    // natively (an X client knows no scale)
    const int scale = way == Way::Native ? compositor->OutputSize().scale : 1;
    EXPECT_NE(log.shown[before].find("window 800x600, drawable " + Size(800 * scale, 600 * scale) +
                                     ", windowed"),
              std::string::npos)
        << log.shown[before];
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, true));
    const bool back = WaitForWindows(*game, before + 2, switchMs, false);
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, false));
    ASSERT_TRUE(back && WaitForWindows(*game, before + 2, switchMs))
        << "F1 did not switch back to full screen with the keyboard; " << game->Describe();
    log = ReadVideoLog(*game);
    EXPECT_NE(log.shown[before + 1].find("full screen"), std::string::npos)
        << log.shown[before + 1];
    if (way == Way::Native) {
        EXPECT_TRUE(FullScreenOverTheOutput(log.shown[before + 1], compositor->OutputSize()))
            << log.shown[before + 1];
    }
    EXPECT_EQ(log.refused, 0) << game->Describe();
}

void OnCompositor::EndBySignal()
{
    game->Signal(SIGTERM);
    ASSERT_TRUE(game->WaitForExit(exitMs)) << "SIGTERM did not end the game; "
                                           << game->Describe();
    EXPECT_EQ(game->KillSignal(), 0) << game->Describe();
    EXPECT_EQ(game->ExitCode(), 0) << game->Describe();
    EXPECT_TRUE(EndsWithShutdownLines(WithoutWaylandDebug(game->Stderr())));
    std::string survivors, why;
    EXPECT_TRUE(game->WaitForLeftoversGone(leftoversMs, survivors)) << survivors;
    EXPECT_TRUE(compositor->Alive(why)) << "after SIGTERM: " << why;
}

void OnCompositor::Walk(Compositor &on, Way chosen)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(on, chosen));
    if (IsSkipped())
        return;
    ASSERT_NO_FATAL_FAILURE(SwitchToWindowAndBack());

    // F1 held: the first press and its auto-repeats switch, each in the
    // window the last switch made; let go, they stop
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, true));
    Pause(heldMs);
    ASSERT_NO_FATAL_FAILURE(Key(evdevF1, false));
    // A switch under way as F1 was let go shows a little later
    Pause(quietMs);
    const size_t settled = ReadVideoLog(*game).shown.size();
    const size_t whileHeld = settled - 3;
    EXPECT_GE(whileHeld, 3u) << "F1 held " << heldMs << " ms switched " << whileHeld
                             << " times: its auto-repeat did not carry on; " << game->Describe();
    ::testing::Test::RecordProperty("switches_while_held", static_cast<int>(whileHeld));
    Pause(quietMs);
    const VideoLog log = ReadVideoLog(*game);
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

    // Started again and ended by SIGTERM: 0 too (StartGame lets the last
    // one's object go first: it would take the new game for one of its
    // leftovers)
    const bool byRequests = way == Way::Native && !on.ShowsItsOutput();
    ASSERT_NO_FATAL_FAILURE(StartGame(byRequests));
    if (byRequests) {
        ASSERT_NO_FATAL_FAILURE(CheckBufferSize());
    }
    EndBySignal();
}

void OnCompositor::ShortWalk(Compositor &on, Way chosen)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(on, chosen));
    if (IsSkipped())
        return;
    // F1's window natively: 800x600 logical, drawn at the scale's device
    // pixels (an X client's window is X pixels, as at 1920x1080)
    if (keys && way == Way::Native) {
        ASSERT_NO_FATAL_FAILURE(SwitchToWindowAndBack());
    }
    EndBySignal();
}

TEST_F(OnCompositor, MutterNatively)
{
    Walk(mutter, Way::Native);
}

TEST_F(OnCompositor, MutterThroughXWayland)
{
    Walk(mutter, Way::XWayland);
}

TEST_F(OnCompositor, MutterAtScale2Natively)
{
    ShortWalk(mutterDoubled, Way::Native);
}

TEST_F(OnCompositor, MutterAtScale2ThroughXWayland)
{
    ShortWalk(mutterDoubled, Way::XWayland);
}

TEST_F(OnCompositor, KwinNatively)
{
    Walk(kwin, Way::Native);
}

TEST_F(OnCompositor, KwinThroughXWayland)
{
    Walk(kwin, Way::XWayland);
}

TEST_F(OnCompositor, KwinAtScale2Natively)
{
    ShortWalk(kwinDoubled, Way::Native);
}

TEST_F(OnCompositor, KwinAtScale2ThroughXWayland)
{
    ShortWalk(kwinDoubled, Way::XWayland);
}

TEST_F(OnCompositor, SwayNatively)
{
    ShortWalk(sway, Way::Native);
}

TEST_F(OnCompositor, SwayAtScale2Natively)
{
    ShortWalk(swayDoubled, Way::Native);
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new CompositorEnvironment);
    return RUN_ALL_TESTS();
}
