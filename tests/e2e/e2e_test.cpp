#include <string>

#include <gtest/gtest.h>
#include <X11/keysym.h>

#include "display_mode.h"
#include "e2e_test.h"
#include "x_session.h"

static XServer server;

// An Xorg the tests that need it share, started the first time one asks.
struct SharedXorg {
    explicit SharedXorg(XServer::Kind kind) : server(kind) {}

    XServer     server;
    bool        tried = false;
    std::string error; // why it did not start

    XServer *Get(const char *what, std::string &why)
    {
        if (!tried) {
            tried = true;
            server.Start(error);
        }
        if (!server.Connection()) {
            why = std::string("the ") + what + " did not start: " + error;
            return nullptr;
        }
        return &server;
    }
};

static SharedXorg modeSwitching(XServer::Kind::XorgDummy);
static SharedXorg twoMonitors(XServer::Kind::XorgDummyTwoMonitors);

XServer &TestXServer()
{
    return server;
}

XServer *ModeSwitchingServer(std::string &error)
{
    return modeSwitching.Get("mode-switching X server", error);
}

XServer *TwoMonitorServer(std::string &error)
{
    return twoMonitors.Get("two-monitor X server", error);
}

// One Xvfb for the whole run, and the Xorg once started, stopped at the end
// whatever happened.
class XServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(server.Start(error)) << error;
    }
    void TearDown() override
    {
        twoMonitors.server.Stop();
        modeSwitching.server.Stop();
        server.Stop();
    }
};

void EndToEnd::SetUp()
{
    StartGame(TestXServer());
}

void EndToEnd::StartGame(XServer &on, const std::vector<std::string> &environment,
                         const std::vector<int> &closed)
{
    display = on.Connection();
    ASSERT_NE(display, nullptr) << "no X server for the end-to-end tests";
    game = std::make_unique<GameProcess>(on.DisplayName(), environment,
                                         std::vector<std::string>{}, closed);
    ASSERT_TRUE(game->Started()) << "could not start the game";
    window = WaitForGameWindow(display, *game, windowTimeoutMs);
    ASSERT_NE(window, None) << "no window titled \"" << gameWindowTitle
                            << "\" appeared on the screen; " << game->Describe();
}

void RealDesktop::SetUp()
{
    std::string error;
    server = ModeSwitchingServer(error);
    ASSERT_NE(server, nullptr) << error;
    ASSERT_TRUE(ShowsDisplayMode(server->Connection(), desktopWidth, desktopHeight, 0))
        << "before the game";
    ASSERT_NO_FATAL_FAILURE(StartGame(*server, GameEnvironment(), GameClosedDescriptors()));
    ASSERT_TRUE(ShowsDisplayMode(display, 800, 600, windowTimeoutMs))
        << "with the game full screen; " << game->Describe();
}

void RealDesktop::TearDown()
{
    game.reset();
    if (server && !ShowsDisplayMode(server->Connection(), desktopWidth, desktopHeight, 0))
        SetDesktopMode(server->Connection());
}

void TwoMonitorDesktop::SetUp()
{
    std::string error;
    server = TwoMonitorServer(error);
    ASSERT_NE(server, nullptr) << error;
    ASSERT_TRUE(ShowsOutputs(server->DisplayName(), {otherMonitor, primaryMonitor}, 0))
        << "before the game";
    desktop = XrandrState(server->DisplayName());
    ASSERT_NO_FATAL_FAILURE(StartGame(*server));
}

void TwoMonitorDesktop::TearDown()
{
    game.reset();
    if (server && XrandrState(server->DisplayName()) != desktop)
        LightTwoMonitors(server->DisplayName());
}

::testing::AssertionResult EndToEnd::EndsNormallyOnEscape()
{
    return EndsOnEscape(display, *game, exitTimeoutMs);
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new XServerEnvironment);
    return RUN_ALL_TESTS();
}
