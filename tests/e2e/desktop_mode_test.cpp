#include <csignal>
#include <cstdlib>
#include <ostream>
#include <string>

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

} // namespace
