#include <csignal>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include <signal.h>

#include <X11/keysym.h>

#include "debug_lines.h"
#include "display_mode.h"
#include "e2e_test.h"
#include "x_session.h"

namespace {

// How a way out is taken.
enum class Action {
    Escape,       // the player quits
    CloseRequest, // a window manager's close box: WM_DELETE_WINDOW
    Signal,       // a signal to the game's process
    StderrClosed, // the reader of stderr goes away, then the game logs
    StderrStalled, // the reader of stderr stops reading, then a signal comes
};

// One way out of the game and the end it must have.
struct WayOut {
    const char *name;
    Action      action;
    int         signalNumber; // sent, for Action::Signal
    int         killedBy;     // the signal that ends the process; 0: exit code 0
};

const WayOut waysOut[] = {
    {"Escape", Action::Escape, 0, 0},
    {"CloseRequest", Action::CloseRequest, 0, 0},
    {"Sigterm", Action::Signal, SIGTERM, 0},
    {"Sigint", Action::Signal, SIGINT, 0},
    {"Sighup", Action::Signal, SIGHUP, 0},
    {"Sigquit", Action::Signal, SIGQUIT, 0},
    {"Sigsegv", Action::Signal, SIGSEGV, SIGSEGV},
    {"Sigabrt", Action::Signal, SIGABRT, SIGABRT},
    {"Sigkill", Action::Signal, SIGKILL, SIGKILL},
    {"StderrClosed", Action::StderrClosed, 0, 0},
    {"StderrStalled", Action::StderrStalled, SIGTERM, 0},
};

// gtest names a failing case by this
void PrintTo(const WayOut &way, std::ostream *out)
{
    *out << way.name;
}

class DesktopModeBack : public RealDesktop, public ::testing::WithParamInterface<WayOut> {
protected:
    // The sanitizer build's SEGV handler would turn a crash into its report
    // and exit code 1; the crash is what is tried here. Other builds ignore
    // the variable.
    std::vector<std::string> GameEnvironment() const override
    {
        if (GetParam().signalNumber != SIGSEGV)
            return {};
        const char *options = std::getenv("ASAN_OPTIONS");
        const std::string before = options && *options ? std::string(options) + ":" : "";
        return {"ASAN_OPTIONS=" + before + "handle_segv=0"};
    }
};

// Full screen in 800x600 until the end, however it comes; the desktop's
// 1280x1024 within a second of the process ending, nothing of the game left,
// and the exit code the README gives.
TEST_P(DesktopModeBack, WithinASecondOfTheEnd)
{
    const WayOut &way = GetParam();
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    bool ended = false;
    switch (way.action) {
    case Action::StderrClosed:
        game->CloseStderr();
        // F2 logs its swap interval, into a pipe nobody reads: the game goes
        // on (frames), then Escape logs the statistics into it too.
        PressKey(display, XK_F2);
        WaitForFrames(display, 3, framesTimeoutMs);
        ReleaseKey(display, XK_F2);
        [[fallthrough]];
    case Action::Escape:
        // Held until the game ends, so that its message loop sees it
        PressKey(display, XK_Escape);
        ended = game->WaitForExit(exitTimeoutMs);
        ReleaseKey(display, XK_Escape);
        break;
    case Action::CloseRequest:
        SendDeleteWindow(display, window);
        ended = game->WaitForExit(exitTimeoutMs);
        break;
    case Action::Signal:
        game->Signal(way.signalNumber);
        ended = game->WaitForExit(exitTimeoutMs);
        break;
    case Action::StderrStalled: {
        // F2 held logs its swap interval every turn of the loop, into a pipe
        // nobody reads: once the pipe is full the game drops its lines and
        // goes on drawing, and the signal still ends it within a second.
        game->StallStderr();
        PressKey(display, XK_F2);
        const bool full = game->WaitForStderrFull(framesTimeoutMs);
        const bool drawing = full && WaitForFrames(display, 10, framesTimeoutMs);
        game->Signal(way.signalNumber);
        ended = game->WaitForExit(restoreMs);
        ReleaseKey(display, XK_F2);
        EXPECT_TRUE(full) << "F2 held did not fill stderr's pipe";
        EXPECT_TRUE(drawing) << "no frames once stderr's pipe was full";
        break;
    }
    }
    ASSERT_TRUE(ended) << "the game did not end; " << game->Describe();

    EXPECT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs))
        << "after the game's end; " << game->Describe();
    std::string survivors;
    EXPECT_TRUE(game->WaitForLeftoversGone(restoreMs, survivors))
        << "still running a second after the game's end:" << survivors;
    EXPECT_EQ(game->KillSignal(), way.killedBy) << game->Describe();
    if (way.killedBy == 0) {
        EXPECT_EQ(game->ExitCode(), 0) << game->Describe();
        if (way.action != Action::StderrClosed && way.action != Action::StderrStalled) {
            EXPECT_TRUE(EndsWithShutdownLines(game->Stderr()));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, DesktopModeBack, ::testing::ValuesIn(waysOut),
                         [](const ::testing::TestParamInfo<WayOut> &info) {
                             return std::string(info.param.name);
                         });

// A guardian that stops answering (stopped here, as a hung X server would
// leave it) holds the game up a second in all, however many close requests
// interrupt the wait; the game says it lost it, and SDL still gives the
// desktop its mode back.
TEST_F(RealDesktop, StoppedGuardianHoldsTheEndUpOneSecondAtMost)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    const pid_t guardian = game->ChildNamed("quarvel-guard");
    ASSERT_GT(guardian, 0) << "no guardian beside the game";
    kill(guardian, SIGSTOP);
    // A second for the guardian's answer, and the usual way out around it
    constexpr int endMs = 3000;
    constexpr int signalEveryMs = 200;
    bool ended = false;
    int  waited = 0;
    for (; !ended && waited < 3 * endMs; waited += signalEveryMs) {
        game->Signal(SIGTERM);
        ended = game->WaitForExit(signalEveryMs);
    }
    ASSERT_TRUE(ended) << "SIGTERM every " << signalEveryMs << " ms; " << game->Describe();
    EXPECT_LE(waited, endMs) << "ms from the first SIGTERM to the end, within "
                             << signalEveryMs << " ms";
    EXPECT_EQ(game->ExitCode(), 0) << game->Describe();
    EXPECT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs))
        << "after the game's end";
    EXPECT_NE(game->Stderr().find("\nDisplay guard lost: no answer within a second\n"),
              std::string::npos)
        << game->Stderr();
}

// The desktop in a mode of its own, taken off the output while the game is
// full screen (as when a monitor is swapped for one without that mode).
class DesktopModeGone : public EndToEnd {
protected:
    void SetUp() override
    {
        std::string error;
        server = ModeSwitchingServer(error);
        ASSERT_NE(server, nullptr) << error;
        ownMode = AddOwnMode(server->Connection());
        ASSERT_NE(ownMode, None) << "the server refused a mode of the test's own";
        ASSERT_TRUE(SetDisplayMode(server->Connection(), ownModeWidth, ownModeHeight));
        ASSERT_NO_FATAL_FAILURE(StartGame(*server));
        ASSERT_TRUE(ShowsDisplayMode(display, 800, 600, windowTimeoutMs))
            << "with the game full screen; " << game->Describe();
    }
    void TearDown() override
    {
        game.reset();
        if (!server)
            return;
        SetDesktopMode(server->Connection());
        if (ownMode != None)
            DestroyOwnMode(server->Connection(), ownMode);
    }

    XServer *server = nullptr;
    XID      ownMode = None;
};

// After kill -9 the guardian cannot put the desktop's mode back: the server
// refuses it. The monitor must still show a mode that fits the screen, not
// be left dark.
TEST_F(DesktopModeGone, AfterKillTheMonitorStaysLit)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    ASSERT_TRUE(TakeOwnModeOffOutput(display, ownMode));
    game->Signal(SIGKILL);
    ASSERT_TRUE(game->WaitForExit(exitTimeoutMs)) << game->Describe();
    std::string survivors;
    ASSERT_TRUE(game->WaitForLeftoversGone(restoreMs, survivors))
        << "the guardian did not finish within a second:" << survivors;
    const DisplayMode mode = ReadDisplayMode(display);
    EXPECT_TRUE(mode.width > 0 && mode.width == mode.screenWidth &&
                mode.height == mode.screenHeight)
        << "the monitor shows " << mode.Describe();
}

// How the game is started, other than from a terminal.
struct Start {
    const char              *name;
    std::vector<std::string> environment;
    std::vector<int>         closed; // standard descriptors it starts without
};

const Start starts[] = {
    // As some launchers and service managers start programs
    {"StandardDescriptorsClosed", {}, {0, 1, 2}},
    // SDL takes its list of drivers in any case, and tries them in order
    {"DriverNamedInCapitals", {"SDL_VIDEODRIVER=X11"}, {}},
    {"DriverListEndingInX11", {"SDL_VIDEODRIVER=wayland,x11", "WAYLAND_DISPLAY=quarvel-e2e-none"},
     {}},
};

void PrintTo(const Start &start, std::ostream *out)
{
    *out << start.name;
}

class DesktopModeBackAfterKill : public RealDesktop, public ::testing::WithParamInterface<Start> {
protected:
    std::vector<std::string> GameEnvironment() const override { return GetParam().environment; }
    std::vector<int> GameClosedDescriptors() const override { return GetParam().closed; }
};

// However the game was started, the guardian is there to give the desktop
// its mode back after kill -9.
TEST_P(DesktopModeBackAfterKill, WhateverTheStart)
{
    ASSERT_TRUE(WaitForFrames(display, 3, framesTimeoutMs)) << "no frames; " << game->Describe();
    game->Signal(SIGKILL);
    ASSERT_TRUE(game->WaitForExit(exitTimeoutMs)) << game->Describe();
    EXPECT_TRUE(ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs))
        << "after kill -9; " << game->Describe();
    std::string survivors;
    EXPECT_TRUE(game->WaitForLeftoversGone(restoreMs, survivors))
        << "still running a second after the game's end:" << survivors;
}

INSTANTIATE_TEST_SUITE_P(, DesktopModeBackAfterKill, ::testing::ValuesIn(starts),
                         [](const ::testing::TestParamInfo<Start> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
