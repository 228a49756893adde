#include <csignal>
#include <cstdlib>
#include <ostream>
#include <string>

#include <gtest/gtest.h>
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

class NoGlDriver : public ::testing::TestWithParam<XServer::Kind> {
protected:
    void SetUp() override
    {
        std::string error;
        server = GetParam() == XServer::Kind::Xvfb ? &TestXServer() : ModeSwitchingServer(error);
        ASSERT_NE(server, nullptr) << error;
        ASSERT_NE(server->Connection(), nullptr) << "no X server";
    }
    XServer *server = nullptr;
};

// Its own message every time: the box is up (or the text on stderr where no
// box can be shown); SIGTERM then ends it within a second with exit code 1,
// and the desktop has its mode.
TEST_P(NoGlDriver, SaysSoAndEndsWithOneOnSigterm)
{
    Display *display = server->Connection();
    const bool modes = GetParam() == XServer::Kind::XorgDummy;
    for (int run = 1; run <= runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        GameProcess game(server->DisplayName(), {noGlContext});
        ASSERT_TRUE(game.Started()) << "could not start the game";
        bool box = false, text = false;
        for (int waited = 0; waited < windowTimeoutMs && !box && !text; waited += 20) {
            box = FindWindowTitled(display, game, errorBoxTitle) != None;
            text = game.Stderr().find(noContextText) != std::string::npos;
            if (game.WaitForExit(box || text ? 0 : 20))
                break;
        }
        ASSERT_TRUE(box || text) << "neither a box titled \"" << errorBoxTitle << "\" nor \""
                                 << noContextText << "\" on stderr; " << game.Describe();
        game.Signal(SIGTERM);
        ASSERT_TRUE(game.WaitForExit(restoreMs))
            << "SIGTERM did not end the game within a second; " << game.Describe();
        EXPECT_EQ(game.KillSignal(), 0) << game.Describe();
        EXPECT_EQ(game.ExitCode(), 1) << game.Describe();
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

INSTANTIATE_TEST_SUITE_P(, NoGlDriver,
                         ::testing::Values(XServer::Kind::Xvfb, XServer::Kind::XorgDummy),
                         [](const ::testing::TestParamInfo<XServer::Kind> &info) {
                             return ::testing::PrintToString(info.param);
                         });

} // namespace
