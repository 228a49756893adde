// The Windows build (quarvel.exe, cross-built in the Windows build folder)
// under Wine, on the same private X servers as the Linux build's end-to-end
// tests: keys typed through XTest reach its window procedure, its DebugLog
// lines come out of Wine's debug channel, and the display mode is read back
// through XRandR. One Wine prefix, made in a temporary folder for the run
// and removed after it.

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <X11/keysym.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "debug_lines.h"
#include "display_mode.h"
#include "game_process.h"
#include "picture.h"
#include "spawn.h"
#include "x_server.h"
#include "x_session.h"

namespace {

// Generous limits: Wine starts a program in about a second here, and they
// only keep a hung game from hanging CI.
constexpr int startTimeoutMs = 20000;
constexpr int exitTimeoutMs = 15000;
constexpr int framesTimeoutMs = 10000;
// The desktop's mode is back this soon after the game's process ends,
// however it ends.
constexpr int restoreMs = 2000;

// The guardian of the display mode, a program beside the game's.
const char *const guardianProgram = "quarvel-guardian.exe";

// A folder as a player's Downloads may be named: spaces and characters
// outside every ANSI code page at once.
const char *const playersFolder = "Игры и 日本 Ω";

// The run's X servers, started when first asked for, and Wine's prefix.
struct WineRun {
    std::string folder;      // the temporary folder, holding the prefix
    std::string prefix;      // WINEPREFIX
    XServer     xvfb{XServer::Kind::Xvfb};
    XServer     refusing{XServer::Kind::XvfbNoGameMode};
    XServer     realDesktop{XServer::Kind::XorgDummy};
    // 640x480 and no 800x600, at the depth of today's desktops and at 16
    XServer     small24{XServer::Kind::XvfbFallbackOnly, 24};
    XServer     small16{XServer::Kind::XvfbFallbackOnly, 16};
    XServer    *wineOn = nullptr; // the server Wine's desktop process is on
    std::string error;            // why the run could not be set up
};

WineRun run;

// channels: more of Wine's debug channels than the debugger's output.
std::vector<std::string> WineEnvironment(const XServer &server, const std::string &channels = "")
{
    return {"WINEPREFIX=" + run.prefix,
            // The debugger's output, which carries the DEBUG lines
            "WINEDEBUG=-all,warn+debugstr" + (channels.empty() ? "" : "," + channels),
            // No offer to install Mono or Gecko while the prefix is made
            "WINEDLLOVERRIDES=mscoree,mshtml=",
            "DISPLAY=" + server.DisplayName()}; // last
}

// Our environment with these entries added or replaced.
std::vector<std::string> With(const std::vector<std::string> &entries)
{
    std::vector<std::string> variables;
    for (char **entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        bool replaced = false;
        for (const std::string &added : entries)
            replaced = replaced || variable.rfind(added.substr(0, added.find('=') + 1), 0) == 0;
        if (!replaced)
            variables.push_back(variable);
    }
    variables.insert(variables.end(), entries.begin(), entries.end());
    return variables;
}

// Runs a Wine tool and waits at most timeoutMs for it; its exit code, -1
// when it did not end in time (it is killed then).
int RunWine(const std::vector<std::string> &argv, const XServer &server, int timeoutMs)
{
    const std::vector<std::string> environment = With(WineEnvironment(server));
    const pid_t pid = Spawn(argv, -1, false, -1, SIGKILL, &environment);
    if (pid < 0)
        return -1;
    const int pidfd = OpenPidfd(pid);
    const bool ended = pidfd >= 0 && WaitForEnd(pidfd, timeoutMs);
    if (pidfd >= 0)
        close(pidfd);
    if (!ended)
        kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Ends every Wine process of the prefix, and its wineserver.
void StopWine()
{
    RunWine({"wineserver", "-k"}, run.xvfb, 10000);
    RunWine({"wineserver", "-w"}, run.xvfb, 10000);
    run.wineOn = nullptr;
}

// Wine's desktop process draws on one X display for as long as its
// wineserver lives: the server is stopped and started again for another
// display, and the desktop process started before the game, so that the
// tests do not take it for something the game left behind.
bool UseServer(XServer &server, std::string &error)
{
    if (run.wineOn == &server)
        return true;
    StopWine();
    if (RunWine({"wineserver", "-p"}, server, 10000) != 0) {
        error = "wineserver -p failed";
        return false;
    }
    const std::vector<std::string> environment = With(WineEnvironment(server));
    if (Spawn({"wine", "explorer.exe", "/desktop"}, -1, false, -1, SIGKILL, &environment) < 0) {
        error = "could not start Wine's desktop process";
        return false;
    }
    run.wineOn = &server;
    return true;
}

// The processes of this run's prefix whose command line holds text: pid
// and command line (Wine shows the Windows one).
std::vector<std::pair<pid_t, std::string>> PrefixProcesses(const std::string &text)
{
    std::vector<std::pair<pid_t, std::string>> found;
    const std::string ours = std::string("WINEPREFIX=") + run.prefix + '\0';
    for (const ProcessEntry &process : AllProcesses()) {
        if (process.state == 'Z')
            continue;
        // A process that ends while it is read fails the read (ESRCH),
        // which the C++ library throws: it is gone, and not listed
        try {
            const std::string line = CommandLine(process.pid);
            if (line.find(text) != std::string::npos &&
                EnvironmentOf(process.pid).find(ours) != std::string::npos)
                found.emplace_back(process.pid, line);
        } catch (const std::ios_base::failure &) {
        }
    }
    return found;
}

// The Windows process id of the game, the first word after the program on
// its guardian's command line (Wine's tasklist lists nothing); 0 when
// there is no guardian.
unsigned long GameWindowsPid()
{
    for (const auto &[pid, line] : PrefixProcesses(guardianProgram)) {
        const char *after = line.c_str() + line.rfind(guardianProgram) + std::strlen(guardianProgram);
        while (*after && !std::isdigit(static_cast<unsigned char>(*after)))
            ++after;
        return std::strtoul(after, nullptr, 10);
    }
    return 0;
}

// The Linux process ids of this run's guardians.
std::vector<pid_t> GuardianPids()
{
    std::vector<pid_t> pids;
    for (const auto &[pid, line] : PrefixProcesses(guardianProgram))
        pids.push_back(pid);
    return pids;
}

// Waits until the guardians of this run's prefix are these.
bool WaitForGuardians(const std::function<bool(const std::vector<pid_t> &)> &wanted,
                      int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (wanted(GuardianPids()))
            return true;
        usleep(20000);
    }
    return false;
}

bool WaitForGuardianGone(int timeoutMs)
{
    return WaitForGuardians([](const std::vector<pid_t> &pids) { return pids.empty(); },
                            timeoutMs);
}

// A window of the test's own that takes the keyboard, as another program
// would: the game is no longer in front.
class OtherWindow {
public:
    explicit OtherWindow(Display *display) : display(display)
    {
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 200, 0, 0, 0);
        XMapRaised(display, window);
        XSync(display, False);
    }
    ~OtherWindow()
    {
        XDestroyWindow(display, window);
        XSync(display, False);
    }
    // Asks the window manager to give it the keyboard, as a task bar
    // does; false when it never has it.
    bool TakeKeyboard(int timeoutMs)
    {
        ActivateWindow(display, window);
        return WaitForFocus(display, window, timeoutMs);
    }

private:
    Display *display;
    Window   window;
};

// Wine shows a window's cursor (none, after ShowCursor(FALSE)) as the
// pointer moves over it: the pointer is nudged to where it stands.
bool PointerHiddenOnceMoved(Display *display)
{
    Window root = None, child = None;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y,
                  &mask);
    XTestFakeMotionEvent(display, -1, rootX + 1, rootY, CurrentTime);
    XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
    XSync(display, False);
    return PointerHidden(display);
}

// Full screen covers the screen (width x height) from its corner; Wine
// puts a window's client area below and right of the frame it draws.
bool CoversTheScreen(Display *display, Window window, int width = 800, int height = 600)
{
    XWindowAttributes attributes;
    int x = -1, y = -1;
    Window child = None;
    if (!XGetWindowAttributes(display, window, &attributes) ||
        !XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child))
        return false;
    return x == 0 && y == 0 && attributes.width == width && attributes.height == height;
}

// The window's client area as the screen shows it, black where it lies
// off the screen: without a window manager, Wine leaves the window of a
// game on a desktop of its size hanging a few pixels below the screen's
// edge, as Windows does, and the X server gives no image of a window that
// is not wholly on the screen.
Picture ReadClientArea(Display *display, Window window)
{
    Picture client;
    XWindowAttributes attributes;
    int left = 0, top = 0;
    Window child = None;
    if (!XGetWindowAttributes(display, window, &attributes) ||
        !XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &left, &top,
                               &child))
        return client;
    const Picture screen = ReadScreen(display);
    client.width = attributes.width;
    client.height = attributes.height;
    client.pixels.assign(static_cast<size_t>(client.width) * client.height, Rgb{0, 0, 0});
    for (int y = std::max(0, -top); y < client.height && top + y < screen.height; ++y)
        for (int x = std::max(0, -left); x < client.width && left + x < screen.width; ++x)
            client.pixels[static_cast<size_t>(y) * client.width + x] = screen.At(left + x, top + y);
    return client;
}

// F1 without the server's auto-repeat (under Wine a switch takes longer
// than the repeat's delay); the new window is told by its place.
Window SwitchWithF1UnderWine(Display *display, GameProcess &game, Window window, bool fullscreen)
{
    return SwitchWithF1Until(display, game, window, [display, fullscreen](Window shown) {
        return CoversTheScreen(display, shown) == fullscreen;
    }, startTimeoutMs, true);
}

class WineEnvironmentSetUp : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_EQ(access(QUARVEL_WINDOWS_PROGRAM, R_OK), 0)
            << QUARVEL_WINDOWS_PROGRAM << " is missing: make windows builds it";
        char folder[] = "/tmp/quarvel-wine-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr) << std::strerror(errno);
        run.folder = folder;
        run.prefix = run.folder + "/prefix";
        // What Wine starts comes to us, not to init, so that it ends with
        // the run and the tests can see it
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        std::string error;
        ASSERT_TRUE(run.xvfb.Start(error)) << error;
        ASSERT_EQ(RunWine({"wine", "wineboot", "-i"}, run.xvfb, 60000), 0)
            << "wineboot could not make the prefix " << run.prefix;
    }

    void TearDown() override
    {
        StopWine();
        // Whatever Wine left to us
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        if (!run.folder.empty())
            RunWine({"rm", "-rf", run.folder}, run.xvfb, 30000);
        run.realDesktop.Stop();
        run.small16.Stop();
        run.small24.Stop();
        run.refusing.Stop();
        run.xvfb.Stop();
    }
};

// quarvel.exe under Wine on one of the run's servers; the game is killed
// when the test ends, whatever happened.
class WineGame : public ::testing::Test {
protected:
    void TearDown() override
    {
        game.reset();
        // A guardian left by a game killed on purpose has done its work by
        // now; none may be left for the next test
        for (const pid_t pid : GuardianPids())
            kill(pid, SIGKILL);
    }

    // Starts the game (program) on server, with more of Wine's debug
    // channels on; with window, waits for its window.
    void Start(XServer &server, bool window = true, const std::string &channels = "",
               const std::string &program = QUARVEL_WINDOWS_PROGRAM)
    {
        if (!server.Connection()) {
            std::string error;
            ASSERT_TRUE(server.Start(error)) << error;
        }
        std::string error;
        ASSERT_TRUE(UseServer(server, error)) << error;
        display = server.Connection();
        setenv("QUARVEL_E2E_PROGRAM", program.c_str(), 1);
        game = std::make_unique<GameProcess>(server.DisplayName(),
                                             WineEnvironment(server, channels),
                                             std::vector<std::string>{"wine"});
        ASSERT_TRUE(game->Started()) << "could not start wine";
        if (!window)
            return;
        this->window = WaitForGameWindow(display, *game, startTimeoutMs);
        ASSERT_NE(this->window, None) << "no window titled \"" << gameWindowTitle << "\"; "
                                      << game->Describe();
    }

    // Escape held until the game has gone: exit code 0.
    ::testing::AssertionResult EndsOnEscape()
    {
        if (!WaitForFocus(display, window, startTimeoutMs))
            return ::testing::AssertionFailure() << "the game's window never had the keyboard";
        return ::EndsOnEscape(display, *game, exitTimeoutMs);
    }

    // The DEBUG lines, as the Linux build writes them.
    std::string DebugText() { return WineDebugStrings(game->Stderr()); }

    Display                     *display = nullptr;
    std::unique_ptr<GameProcess> game;
    Window                       window = None;
};

// [SECTION] Xvfb: the game's own 800x600 is the only mode

// Full screen, F1 to a window and back, the score and the rocks drawn in
// each, Escape; every window gets the render set-up with swap control (Wine
// offers the extension), and the shutdown lines end the log.
TEST_F(WineGame, FullScreenF1BothWaysThenEscape)
{
    ASSERT_NO_FATAL_FAILURE(Start(run.xvfb));
    window = WaitForGameWindow(display, *game, startTimeoutMs,
                               [this](Window) { return PointerHiddenOnceMoved(display); });
    ASSERT_NE(window, None) << "full screen hides the pointer; " << game->Describe();
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    EXPECT_TRUE(ShowsScoreText(ReadScreen(display))) << "full screen";
    EXPECT_NE(GameWindowsPid(), 0u) << "the display-mode guardian is running";

    window = SwitchWithF1UnderWine(display, *game, window, false);
    ASSERT_NE(window, None) << "F1 gave no window with the pointer shown; " << game->Describe();
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    // Windows makes the window smaller than asked (its frame would not fit
    // the 800x600 desktop), and the picture fits what it has, with bars
    const Picture windowed = ReadFourByThree(
        display, [this] { return ReadClientArea(display, window); }, framesTimeoutMs);
    EXPECT_TRUE(ShowsFourByThreePicture(windowed)) << "in the window";
    EXPECT_TRUE(ShowsScoreText(windowed)) << "in the window";
    EXPECT_TRUE(ShowsColouredRocks(windowed)) << "in the window";

    window = SwitchWithF1UnderWine(display, *game, window, true);
    ASSERT_NE(window, None) << "F1 did not go back to full screen; " << game->Describe();
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    ASSERT_TRUE(EndsOnEscape());

    const std::string log = DebugText();
    EXPECT_TRUE(EndsWithShutdownLines(log)) << game->Stderr();
    const StderrLines lines = SplitStderr(log);
    EXPECT_EQ(CountDebugLines(lines, "InitVSync: VSync extension not supported!"), 0) << log;
    EXPECT_EQ(CountDebugLines(lines, "SetVSyncState(false)"), 3) << log;
    EXPECT_TRUE(lines.other.empty()) << "only DEBUG lines, each with CR LF:\n" << log;
    EXPECT_TRUE(WaitForGuardianGone(restoreMs)) << "the guardian ends with the game";
}

// A reader of stderr that stops reading (a log pipe that hangs) fills the
// pipe that carries the DEBUG lines; the game draws on and ends on Escape.
TEST_F(WineGame, StalledStderrReaderNeitherFreezesNorHolds)
{
    ASSERT_NO_FATAL_FAILURE(Start(run.xvfb));
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    ASSERT_TRUE(WaitForFocus(display, window, startTimeoutMs));
    game->StallStderr();
    // F2 held logs a line every turn of the loop
    PressKey(display, XK_F2);
    const bool full = game->WaitForStderrFull(framesTimeoutMs);
    ReleaseKey(display, XK_F2);
    ASSERT_TRUE(full) << "the pipe never filled";
    EXPECT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "the game froze on its log";
    ASSERT_TRUE(EndsOnEscape());
}

// With no X display Wine can make no window and show no box: the box's
// text goes to stderr, and the game ends with 1. Which box comes first
// depends on the modes Wine's display-less driver offers: the window's
// error, or the question (answered No) and the closing message.
TEST_F(WineGame, NoDisplayGivesTheBoxOnStderrAndOne)
{
    std::string error;
    ASSERT_TRUE(UseServer(run.xvfb, error)) << error;
    std::vector<std::string> environment = WineEnvironment(run.xvfb);
    environment.pop_back(); // DISPLAY
    game = std::make_unique<GameProcess>("", environment, std::vector<std::string>{"wine"});
    ASSERT_TRUE(game->WaitForExit(exitTimeoutMs)) << game->Describe();
    EXPECT_EQ(game->ExitCode(), 1) << game->Describe();
    const std::string log = game->Stderr();
    EXPECT_TRUE(log.find("\nERROR: Window Creation Error.\n") != std::string::npos ||
                log.find("\nERROR: Program Will Now Close.\n") != std::string::npos)
        << game->Describe();
}

// The close box (WM_DELETE_WINDOW, which Wine turns into WM_CLOSE) and
// Alt+F4 (WM_SYSKEYDOWN, turned into WM_CLOSE by DefWindowProcA).
class WineCloseRequest : public WineGame, public ::testing::WithParamInterface<bool> {};

TEST_P(WineCloseRequest, EndsWithZero)
{
    const bool altF4 = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start(run.xvfb));
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    ASSERT_TRUE(WaitForFocus(display, window, startTimeoutMs));
    if (altF4) {
        PressKey(display, XK_Alt_L);
        PressKey(display, XK_F4);
    } else {
        ASSERT_TRUE(AcceptsDeleteWindow(display, window));
        SendDeleteWindow(display, window);
    }
    const bool ended = game->WaitForExit(exitTimeoutMs);
    if (altF4) {
        ReleaseKey(display, XK_F4);
        ReleaseKey(display, XK_Alt_L);
    }
    ASSERT_TRUE(ended) << game->Describe();
    EXPECT_EQ(game->KillSignal(), 0) << game->Describe();
    EXPECT_EQ(game->ExitCode(), 0) << game->Describe();
    EXPECT_TRUE(EndsWithShutdownLines(DebugText())) << game->Stderr();
}

INSTANTIATE_TEST_SUITE_P(, WineCloseRequest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return std::string(info.param ? "AltF4" : "CloseBox");
                         });

// [SECTION] A display that refuses every mode the game asks for

// The three full-screen attempts fail, and the game asks whether to run in
// a window: Yes gives an 800 x 600 window, No says the program will close
// and ends it with 1, having logged nothing.
class WineRefusedModes : public WineGame, public ::testing::WithParamInterface<bool> {
protected:
    // The display-mode changes the game asked Wine for, one line each: the
    // flags, then the three fields it set (Wine's trace names every field
    // set in dmFields).
    static std::string FullScreenAttempts(const std::string &wineStderr)
    {
        static const std::string flagsMark = ":trace:system:NtUserChangeDisplaySettings flags=";
        static const std::string modeMark =
            ":trace:system:trace_devmode dmFields=BITSPERPEL,PELSWIDTH,PELSHEIGHT ";
        std::string attempts, flags;
        std::istringstream in(wineStderr);
        std::string line;
        while (std::getline(in, line)) {
            size_t at = line.find(flagsMark);
            if (at != std::string::npos)
                flags = line.substr(at + flagsMark.size());
            at = line.find(modeMark);
            if (at == std::string::npos)
                continue;
            std::string mode = line.substr(at + modeMark.size());
            while (!mode.empty() && mode.back() == ' ')
                mode.pop_back();
            attempts += flags + " " + mode + "\n";
        }
        return attempts;
    }

    // Answers the box titled caption with key, once it has the keyboard.
    ::testing::AssertionResult Answer(const std::string &caption, KeySym key)
    {
        Window box = None;
        for (int waited = 0; box == None && waited < startTimeoutMs; waited += 20) {
            box = FindWindowTitled(display, *game, caption);
            if (box == None)
                usleep(20000);
        }
        if (box == None)
            return ::testing::AssertionFailure()
                   << "no box titled \"" << caption << "\"; " << game->Describe();
        if (!WaitForFocus(display, box, startTimeoutMs))
            return ::testing::AssertionFailure() << "the box \"" << caption
                                                 << "\" never had the keyboard";
        WatchWindow(display, box);
        PressKey(display, key);
        ReleaseKey(display, key);
        if (!WaitForWindowGone(display, box, startTimeoutMs))
            return ::testing::AssertionFailure() << "the box \"" << caption << "\" stayed";
        return ::testing::AssertionSuccess();
    }
};

TEST_P(WineRefusedModes, AskThenFollowTheAnswer)
{
    const bool yes = GetParam();
    // Wine traces each display-mode change it is asked for
    ASSERT_NO_FATAL_FAILURE(Start(run.refusing, false, "trace+system"));
    // Yes is the default button; N is No's key
    ASSERT_TRUE(Answer("Quarvel", yes ? XK_Return : XK_n));
    EXPECT_EQ(FullScreenAttempts(game->Stderr()),
              "FULLSCREEN dmBitsPerPel=32 dmPelsWidth=800 dmPelsHeight=600\n"
              "FULLSCREEN dmBitsPerPel=16 dmPelsWidth=800 dmPelsHeight=600\n"
              "FULLSCREEN dmBitsPerPel=16 dmPelsWidth=640 dmPelsHeight=480\n")
        << "the mode asked for, then 16 bits, then 640x480";
    if (yes) {
        window = WaitForGameWindow(display, *game, startTimeoutMs);
        ASSERT_NE(window, None) << game->Describe();
        EXPECT_FALSE(PointerHiddenOnceMoved(display)) << "a window keeps the pointer";
        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
        EXPECT_EQ(attributes.width, 800) << "client area width";
        EXPECT_EQ(attributes.height, 600) << "client area height";
        ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
        ASSERT_TRUE(EndsOnEscape());
        EXPECT_TRUE(EndsWithShutdownLines(DebugText())) << game->Stderr();
        return;
    }
    ASSERT_TRUE(Answer("ERROR", XK_Return));
    ASSERT_TRUE(game->WaitForExit(exitTimeoutMs)) << game->Describe();
    EXPECT_EQ(game->KillSignal(), 0) << game->Describe();
    EXPECT_EQ(game->ExitCode(), 1) << "the window could not be opened; " << game->Describe();
    EXPECT_EQ(DebugText(), "") << "nothing is logged before a window is open";
}

INSTANTIATE_TEST_SUITE_P(, WineRefusedModes, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return std::string(info.param ? "Yes" : "No");
                         });

// [SECTION] A desktop with 640x480 and no 800x600

// The third attempt, 640x480 at 16 bits, is taken: Wine offers each size
// at 32, 16 and 8 bits whatever the X server's depth (on a depth-24 screen
// it reports 16 bits after the change, the server staying at 24). The
// window is the mode's size, so the whole playfield is on the screen,
// score included, where an 800x600 window would leave a third of it off.
class WineSmallDesktop : public WineGame, public ::testing::WithParamInterface<int> {};

TEST_P(WineSmallDesktop, FullScreenAtSixFortyByFourEighty)
{
    ASSERT_NO_FATAL_FAILURE(Start(GetParam() == 24 ? run.small24 : run.small16, false));
    // The window may cover the screen before the game has hidden the
    // pointer, so both are waited for together
    window = WaitForGameWindow(display, *game, startTimeoutMs, [this](Window shown) {
        return CoversTheScreen(display, shown, 640, 480) && PointerHiddenOnceMoved(display);
    });
    ASSERT_NE(window, None) << "no 640x480 full-screen window with the pointer hidden; "
                            << game->Describe();
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    const Picture screen =
        ReadFourByThree(display, [this] { return ReadScreen(display); }, framesTimeoutMs);
    EXPECT_TRUE(ShowsFourByThreePicture(screen));
    EXPECT_TRUE(ShowsScoreText(screen));
    EXPECT_TRUE(ShowsColouredRocks(screen));
    ASSERT_TRUE(EndsOnEscape());
    EXPECT_TRUE(EndsWithShutdownLines(DebugText())) << game->Stderr();
}

INSTANTIATE_TEST_SUITE_P(, WineSmallDesktop, ::testing::Values(24, 16),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return "Depth" + std::to_string(info.param);
                         });

// [SECTION] A desktop that really switches modes (Xorg's dummy driver)

// How the game ends on the real desktop.
enum class WayOut {
    Escape, F1BothWays, CloseBox, AltF4, Kill,
    TaskkillF,      // taskkill /F /PID of the game
    TaskkillIm,     // taskkill /F /IM quarvel.exe, as players are told
    GuardianFirst,  // the guardian killed, then the game
};

struct WayOutCase {
    const char *name;
    WayOut      way;
    bool        playersFolder = false; // the game unzipped into playersFolder
};

// gtest names a failing case by this
void PrintTo(const WayOutCase &wayOut, std::ostream *out)
{
    *out << wayOut.name;
}

class WineDesktopMode : public WineGame, public ::testing::WithParamInterface<WayOutCase> {
protected:
    void SetUp() override
    {
        if (!run.realDesktop.Connection()) {
            std::string error;
            ASSERT_TRUE(run.realDesktop.Start(error)) << error;
        }
        ASSERT_TRUE(ShowsDisplayMode(run.realDesktop.Connection(), desktopWidth, desktopHeight, 0))
            << "before the game";
        std::string program = QUARVEL_WINDOWS_PROGRAM;
        if (GetParam().playersFolder) {
            // As unzipped: the game and the programs beside it
            const std::string folder = run.folder + "/" + playersFolder;
            const std::string built = program.substr(0, program.rfind('/'));
            program = folder + "/quarvel.exe";
            ASSERT_EQ(RunWine({"sh", "-c", "mkdir -p \"$1\" && cp \"$0\"/quarvel*.exe \"$1\"",
                               built, folder},
                              run.realDesktop, 10000), 0);
        }
        ASSERT_NO_FATAL_FAILURE(Start(run.realDesktop, true, "", program));
        ASSERT_TRUE(ShowsDisplayMode(display, 800, 600, startTimeoutMs))
            << "full screen switches the desktop to 800x600; " << game->Describe();
    }

    void TearDown() override
    {
        WineGame::TearDown();
        if (!ShowsDisplayMode(run.realDesktop.Connection(), desktopWidth, desktopHeight, 0))
            SetDesktopMode(run.realDesktop.Connection());
    }
};

// However the game ends, the desktop has its 1280x1024 back: the game puts
// it back itself on the ways out it sees, its guardian when it is killed
// (Wine does not: measured, it stays at 800x600 after kill -9), a new
// guardian when the first was killed before the game.
TEST_P(WineDesktopMode, BackAfterTheEnd)
{
    const WayOut way = GetParam().way;
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    ASSERT_TRUE(WaitForFocus(display, window, startTimeoutMs));
    bool ended = false;
    switch (way) {
    case WayOut::Escape:
        ASSERT_TRUE(EndsOnEscape());
        ended = true;
        break;
    case WayOut::F1BothWays:
        // The window is on the desktop's mode, and full screen takes
        // 800x600 again
        window = SwitchWithF1UnderWine(display, *game, window, false);
        ASSERT_NE(window, None) << game->Describe();
        EXPECT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs))
            << "in a window";
        window = SwitchWithF1UnderWine(display, *game, window, true);
        ASSERT_NE(window, None) << game->Describe();
        EXPECT_TRUE(ShowsDisplayMode(display, 800, 600, startTimeoutMs)) << "full screen again";
        ASSERT_TRUE(EndsOnEscape());
        ended = true;
        break;
    case WayOut::CloseBox:
        SendDeleteWindow(display, window);
        break;
    case WayOut::AltF4:
        PressKey(display, XK_Alt_L);
        PressKey(display, XK_F4);
        ReleaseKey(display, XK_F4);
        ReleaseKey(display, XK_Alt_L);
        break;
    case WayOut::Kill:
        game->Signal(SIGKILL);
        break;
    case WayOut::TaskkillF: {
        const unsigned long pid = GameWindowsPid();
        ASSERT_NE(pid, 0u) << "no guardian to learn the game's Windows process id from";
        EXPECT_EQ(RunWine({"wine", "taskkill", "/F", "/PID", std::to_string(pid)},
                          run.realDesktop, exitTimeoutMs),
                  0);
        break;
    }
    case WayOut::TaskkillIm:
        EXPECT_EQ(RunWine({"wine", "taskkill", "/F", "/IM", "quarvel.exe"}, run.realDesktop,
                          exitTimeoutMs),
                  0);
        break;
    case WayOut::GuardianFirst: {
        const std::vector<pid_t> first = GuardianPids();
        ASSERT_EQ(first.size(), 1u) << "one guardian";
        kill(first[0], SIGKILL);
        // Wine shows the Windows command line once the new process runs
        EXPECT_TRUE(WaitForGuardians([&first](const std::vector<pid_t> &now) {
            return now.size() == 1 && now[0] != first[0] &&
                   CommandLine(now[0]).rfind("Z:\\", 0) == 0;
        }, restoreMs)) << "the killed guardian was not replaced at once";
        // A player ends the game some time after: killed within ms of the
        // new guardian's start, the game once left it hanging in Wine's
        // start of a process (no trace of its own code having run)
        usleep(1000000);
        game->Signal(SIGKILL);
        break;
    }
    }
    if (!ended) {
        ASSERT_TRUE(game->WaitForExit(exitTimeoutMs)) << game->Describe();
    }
    EXPECT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs))
        << "after the end; " << game->Describe();
    const bool normal = way == WayOut::Escape || way == WayOut::F1BothWays ||
                        way == WayOut::CloseBox || way == WayOut::AltF4;
    if (normal) {
        EXPECT_EQ(game->ExitCode(), 0) << game->Describe();
        EXPECT_TRUE(EndsWithShutdownLines(DebugText())) << game->Stderr();
    }
    EXPECT_TRUE(WaitForGuardianGone(restoreMs)) << "the guardian ends when the game has gone";
}

const WayOutCase waysOut[] = {
    {"Escape", WayOut::Escape}, {"F1BothWays", WayOut::F1BothWays},
    {"CloseBox", WayOut::CloseBox}, {"AltF4", WayOut::AltF4},
    {"KillSigkill", WayOut::Kill}, {"TaskkillF", WayOut::TaskkillF},
    {"TaskkillImageName", WayOut::TaskkillIm}, {"GuardianKilledThenGame", WayOut::GuardianFirst},
    {"KillInPlayersFolder", WayOut::Kill, true},
};

INSTANTIATE_TEST_SUITE_P(, WineDesktopMode, ::testing::ValuesIn(waysOut),
                         [](const ::testing::TestParamInfo<WayOutCase> &info) {
                             return std::string(info.param.name);
                         });

// [SECTION] Xvfb with a window manager: other windows, minimising

// A desktop where the game's window is managed, as a player's is: the
// keyboard goes from window to window the way Windows' does (Wine follows
// the manager), and a window can be minimised. CTest runs these in a
// prefix of their own (tests/wine/CMakeLists.txt).
class WineManagedDesktop : public WineGame {
protected:
    // Starts the game on server, managed by openbox.
    void StartManaged(XServer &server)
    {
        std::string error;
        if (!server.Connection()) {
            ASSERT_TRUE(server.Start(error)) << error;
        }
        managed = &server;
        ASSERT_TRUE(server.StartWindowManager(error)) << error;
        ASSERT_NO_FATAL_FAILURE(Start(server));
    }

    // Resizes the game's window as a player would with the window
    // manager, and waits for the picture drawn at the new size.
    Picture ResizedTo(int width, int height)
    {
        XResizeWindow(display, window, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
        XWindowAttributes attributes{};
        for (int waited = 0; waited < startTimeoutMs; waited += 20) {
            XGetWindowAttributes(display, window, &attributes);
            if (attributes.width == width && attributes.height == height)
                break;
            usleep(20000);
        }
        EXPECT_EQ(attributes.width, width) << "openbox did not resize the window";
        EXPECT_EQ(attributes.height, height);
        return ReadFourByThree(
            display, [this] { return ReadWindow(display, window); }, framesTimeoutMs);
    }

    void TearDown() override
    {
        WineGame::TearDown();
        if (!managed)
            return;
        managed->StopWindowManager();
        if (managed == &run.realDesktop &&
            !ShowsDisplayMode(run.realDesktop.Connection(), desktopWidth, desktopHeight, 0))
            SetDesktopMode(run.realDesktop.Connection());
    }

    XServer *managed = nullptr; // the server openbox manages for the test
};

// A player's window made wider, then taller, than 4:3 on a 1280x1024
// desktop (Windows keeps a window within what the desktop can hold, so not
// on the 800x600 Xvfb): WM_SIZE places the 4:3 picture with black bars
// either side, then above and below, and the score's font is made again
// at the taller picture's scale. It runs first of the suite: after a second
// start, F1 on the dummy Xorg once went untaken (tests/wine/CMakeLists.txt).
TEST_F(WineManagedDesktop, AResizedWindowShowsTheFourByThreePictureWithBars)
{
    ASSERT_NO_FATAL_FAILURE(StartManaged(run.realDesktop));
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    window = SwitchWithF1UnderWine(display, *game, window, false);
    ASSERT_NE(window, None) << "F1 did not give a window; " << game->Describe();
    const Picture wide = ResizedTo(1200, 600);
    EXPECT_TRUE(ShowsFourByThreePicture(wide)) << "1200x600";
    EXPECT_TRUE(ShowsScoreText(wide)) << "1200x600";
    EXPECT_TRUE(ShowsColouredRocks(wide)) << "1200x600";
    const Picture tall = ResizedTo(1000, 900);
    EXPECT_TRUE(ShowsFourByThreePicture(tall)) << "1000x900";
    EXPECT_TRUE(ShowsScoreText(tall)) << "1000x900";
    EXPECT_TRUE(ShowsColouredRocks(tall)) << "1000x900";
    // "Score: 0" both times (nothing was shot), the font made at 30 pixels
    // for the second instead of 24
    const Box wideText = ScoreTextIn(wide), tallText = ScoreTextIn(tall);
    const double widthRatio = double(tallText.right - tallText.left) /
                              std::max(wideText.right - wideText.left, 1);
    EXPECT_NEAR(widthRatio, 1.25, 0.1) << "the score's width, the taller picture's to the wider's";
    ASSERT_TRUE(EndsOnEscape());
}

// A key let go while another window has the keyboard sends the game no
// key-up: the game lets go of its keys when it loses the keyboard, so the
// key is up when it comes back. F2 held logs a line every turn of the loop.
TEST_F(WineManagedDesktop, KeyLetGoElsewhereIsUpOnReturn)
{
    ASSERT_NO_FATAL_FAILURE(StartManaged(run.xvfb));
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    ASSERT_TRUE(WaitForFocus(display, window, startTimeoutMs));
    const auto f2Lines = [this] {
        return CountDebugLines(SplitStderr(DebugText()), "SetVSyncState(false)");
    };
    const int before = f2Lines();
    PressKey(display, XK_F2);
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    ASSERT_GT(f2Lines(), before + 1) << "F2 held logs every turn";
    {
        OtherWindow other(display);
        ASSERT_TRUE(other.TakeKeyboard(startTimeoutMs));
        ReleaseKey(display, XK_F2);
        ActivateWindow(display, window);
        ASSERT_TRUE(WaitForFocus(display, window, startTimeoutMs)) << "the game has it back";
    }
    // The lines already on their way come out, then no more
    ASSERT_TRUE(WaitForFrames(display, 10, framesTimeoutMs)) << game->Describe();
    const int back = f2Lines();
    ASSERT_TRUE(WaitForFrames(display, 20, framesTimeoutMs)) << game->Describe();
    EXPECT_EQ(f2Lines(), back) << "F2 is still down after the game came back; " << game->Describe();
    ASSERT_TRUE(EndsOnEscape());
}

// A second start, while the first game is minimised and another window
// has the keyboard, brings the first back and to the front and ends with
// 0: one game.
TEST_F(WineManagedDesktop, SecondStartBringsTheFirstBackAndEnds)
{
    ASSERT_NO_FATAL_FAILURE(StartManaged(run.xvfb));
    // In a window: Windows minimises a window with a minimise box, and so
    // Wine follows the window manager's only for one
    window = SwitchWithF1UnderWine(display, *game, window, false);
    ASSERT_NE(window, None) << game->Describe();
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << game->Describe();
    OtherWindow other(display);
    ASSERT_TRUE(other.TakeKeyboard(startTimeoutMs));
    XIconifyWindow(display, window, DefaultScreen(display));
    XSync(display, False);
    ASSERT_TRUE(WaitForWindowState(display, window, IconicState, startTimeoutMs))
        << "the game never minimised";

    GameProcess second(run.xvfb.DisplayName(), WineEnvironment(run.xvfb), {"wine"});
    ASSERT_TRUE(second.WaitForExit(startTimeoutMs)) << "two games run; " << second.Describe();
    EXPECT_EQ(second.ExitCode(), 0) << second.Describe();
    EXPECT_TRUE(WaitForWindowState(display, window, NormalState, startTimeoutMs))
        << "the first game is still minimised";
    EXPECT_TRUE(WaitForFocus(display, window, startTimeoutMs)) << "the first game is not in front";
    EXPECT_EQ(GuardianPids().size(), 1u) << "one game, one guardian";
    ASSERT_TRUE(EndsOnEscape());
}

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The game the end-to-end helpers start: the Windows build, through wine
    setenv("QUARVEL_E2E_PROGRAM", QUARVEL_WINDOWS_PROGRAM, 1);
    ::testing::AddGlobalTestEnvironment(new WineEnvironmentSetUp);
    return RUN_ALL_TESTS();
}
