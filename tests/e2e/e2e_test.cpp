#include <string>

#include <gtest/gtest.h>
#include <X11/keysym.h>

#include "display_mode.h"
#include "e2e_test.h"
#include "x_session.h"

static XServer server;
static XServer modeSwitching(XServer::Kind::XorgDummy);
static bool        modeSwitchingTried = false;
static std::string modeSwitchingError; // why it did not start

XServer &TestXServer()
{
    return server;
}

XServer *ModeSwitchingServer(std::string &error)
{
    if (!modeSwitchingTried) {
        modeSwitchingTried = true;
        modeSwitching.Start(modeSwitchingError);
    }
    if (!modeSwitching.Connection()) {
        error = "the mode-switching X server did not start: " + modeSwitchingError;
        return nullptr;
    }
    return &modeSwitching;
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
        modeSwitching.Stop();
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

::testing::AssertionResult EndToEnd::EndsNormallyOnEscape()
{
    // Held until the game ends: a press and release seen in one turn of the
    // message loop would leave no trace in the key state.
    PressKey(display, XK_Escape);
    const bool ended = game->WaitForExit(exitTimeoutMs);
    ReleaseKey(display, XK_Escape);
    if (!ended)
        return ::testing::AssertionFailure() << "Escape did not end the game; " << game->Describe();
    if (game->KillSignal() != 0 || game->ExitCode() != 0)
        return ::testing::AssertionFailure() << "not a normal end; " << game->Describe();
    return ::testing::AssertionSuccess();
}

// The corner that holds the score: "Score: " and up to ten digits of
// 24-pixel glyphs start 3.76 pixels from the left and bottom edges.
static Box ScoreCorner(const Picture &screen)
{
    return Box{0, screen.height - 40, 300, screen.height};
}

::testing::AssertionResult ShowsScoreText(const Picture &screen)
{
    if (screen.width != 800 || screen.height != 600)
        return ::testing::AssertionFailure()
               << "the screen is " << screen.width << " x " << screen.height << ", not 800 x 600";
    const Box corner = ScoreCorner(screen);
    const int white = screen.Count(corner, IsWhite);
    const Box text = screen.Extent(corner, IsWhite);
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << white << " white pixels in the lower left 300 x 40 corner, spanning x " << text.left
            << ".." << text.right << ", y " << text.top << ".." << text.bottom << ": ";
    if (white < 60)
        return failure << "too few for the score text";
    // "Score: 0" is about 100 pixels wide, capitals about 17 high, standing
    // on a base line 4 pixels above the bottom edge.
    if (text.left > 12 || text.right - text.left < 60)
        return failure << "the text does not start at the left edge or is too narrow";
    if (text.bottom < screen.height - 10 || text.bottom - text.top < 10 ||
        text.bottom - text.top > 32)
        return failure << "the text is not a 24-pixel line at the bottom edge";
    // Glyphs, not a filled block
    const int area = (text.right - text.left) * (text.bottom - text.top);
    if (white * 10 > area * 7)
        return failure << "the white is a filled block, not glyphs";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ShowsColouredRocks(const Picture &screen)
{
    const Box all{0, 0, screen.width, screen.height};
    const int coloured =
        screen.Count(all, IsColoured) - screen.Count(ScoreCorner(screen), IsColoured);
    // Four large rocks cover thousands of pixels; a few coloured stray
    // pixels are not rocks.
    if (coloured < 200)
        return ::testing::AssertionFailure()
               << "only " << coloured << " coloured pixels outside the score's corner";
    return ::testing::AssertionSuccess();
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new XServerEnvironment);
    return RUN_ALL_TESTS();
}
