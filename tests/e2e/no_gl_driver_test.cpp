#include <csignal>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "display_mode.h"
#include "e2e_test.h"
#include "x_session.h"

// gtest names a failing case by this
static void PrintTo(XServer::Kind kind, std::ostream *out)
{
    *out << (kind == XServer::Kind::Xvfb ? "Xvfb" : "Xorg");
}

namespace {

constexpr int runs = 5;

// The title of the game's message boxes for its failures.
const char *const errorBoxTitle = "ERROR";
const std::string noContextText = "ERROR: Can't Create A GL Rendering Context.";

// A machine whose OpenGL cannot give the game a context: the window opens,
// the GL context cannot be made. Mesa is told to render indirectly through
// the X server, which refuses indirect contexts (x_server.cpp). That needs
// no driver of Mesa's at all, so it holds however a Mesa release finds its
// drivers: Mesa 22 could be starved through LIBGL_DRIVERS_PATH, Mesa 25
// loads its one gallium library directly and ignores that path.
const std::string noGlContext = "LIBGL_ALWAYS_INDIRECT=1";

// The game started the way a shell script may start it: with a child it did
// not make, which the box's end must leave alone.
const std::string inheritedChild = "sleep 60";
const std::vector<std::string> withInheritedChild = {"sh", "-c", inheritedChild + " & exec \"$0\""};

class NoGlDriver : public ::testing::TestWithParam<XServer::Kind> {
protected:
    void SetUp() override
    {
        std::string error;
        server = GetParam() == XServer::Kind::Xvfb ? &TestXServer() : ModeSwitchingServer(error);
        ASSERT_NE(server, nullptr) << error;
        ASSERT_NE(server->Connection(), nullptr) << "no X server";
    }
    // Waits for the failure's box, or its text on stderr where no box can
    // be shown; true for the box.
    ::testing::AssertionResult SaysSo(GameProcess &game, bool &box)
    {
        Display *display = server->Connection();
        box = false;
        bool text = false;
        for (int waited = 0; waited < windowTimeoutMs && !box && !text; waited += 20) {
            box = FindWindowTitled(display, game, errorBoxTitle) != None;
            text = game.Stderr().find(noContextText) != std::string::npos;
            if (game.WaitForExit(box || text ? 0 : 20))
                break;
        }
        if (box || text)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "neither a box titled \"" << errorBoxTitle
                                             << "\" nor \"" << noContextText << "\" on stderr; "
                                             << game.Describe();
    }
    XServer *server = nullptr;
};

// Its own message every time: the box is up (or the text on stderr where no
// box can be shown); SIGTERM then ends it within a second with exit code 1,
// and the desktop has its mode. Only the box goes: a child the game was
// started with runs on.
TEST_P(NoGlDriver, SaysSoAndEndsWithOneOnSigterm)
{
    Display *display = server->Connection();
    const bool modes = GetParam() == XServer::Kind::XorgDummy;
    for (int run = 1; run <= runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        GameProcess game(server->DisplayName(), {noGlContext}, withInheritedChild);
        ASSERT_TRUE(game.Started()) << "could not start the game";
        bool box = false;
        ASSERT_TRUE(SaysSo(game, box));
        const pid_t child = game.RunningChild(inheritedChild);
        ASSERT_GT(child, 0) << "the game was started without its \"" << inheritedChild << "\"";
        game.Signal(SIGTERM);
        ASSERT_TRUE(game.WaitForExit(restoreMs))
            << "SIGTERM did not end the game within a second; " << game.Describe();
        EXPECT_EQ(game.KillSignal(), 0) << game.Describe();
        EXPECT_EQ(game.ExitCode(), 1) << game.Describe();
        EXPECT_EQ(game.RunningChild(inheritedChild), child)
            << "\"" << inheritedChild << "\", the game's child but not its box, was ended";
        if (kill(child, SIGKILL) == 0)
            waitpid(child, nullptr, 0);
        std::string survivors;
        EXPECT_TRUE(game.WaitForLeftoversGone(restoreMs, survivors))
            << "still running a second after the game's end:" << survivors;
        if (modes && !ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs)) {
            ADD_FAILURE() << ShowsDisplayMode(display, desktopWidth, desktopHeight, 0).message()
                          << " after the game's end";
            SetDesktopMode(display);
        }
    }
}

// Killed while its box waits for a click, the game takes the box with it:
// nothing is left on the screen, and the game's stderr reaches its end, so
// whoever waits for it (a job runner) is not kept waiting.
TEST_P(NoGlDriver, BoxGoesWithTheKilledGame)
{
    Display *display = server->Connection();
    GameProcess game(server->DisplayName(), {noGlContext});
    ASSERT_TRUE(game.Started()) << "could not start the game";
    bool box = false;
    ASSERT_TRUE(SaysSo(game, box));
    ASSERT_TRUE(box) << "no box to outlive the game; " << game.Describe();
    game.Signal(SIGKILL);
    ASSERT_TRUE(game.WaitForExit(restoreMs)) << game.Describe();
    EXPECT_TRUE(game.WaitForStderrEnd(restoreMs))
        << "the game's stderr is still open a second after it was killed";
    std::string survivors;
    EXPECT_TRUE(game.WaitForLeftoversGone(restoreMs, survivors))
        << "still running a second after the game was killed:" << survivors;
    EXPECT_EQ(FindWindowTitled(display, game, errorBoxTitle), None)
        << "the box is still on the screen";
    // For the tests after this one
    if (GetParam() == XServer::Kind::XorgDummy &&
        !ShowsDisplayMode(display, desktopWidth, desktopHeight, restoreMs))
        SetDesktopMode(display);
}

INSTANTIATE_TEST_SUITE_P(, NoGlDriver,
                         ::testing::Values(XServer::Kind::Xvfb, XServer::Kind::XorgDummy),
                         [](const ::testing::TestParamInfo<XServer::Kind> &info) {
                             return ::testing::PrintToString(info.param);
                         });

} // namespace
