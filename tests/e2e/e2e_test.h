#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include "game_process.h"
#include "picture.h"
#include "x_server.h"

// Generous limits: they only keep a hung game from hanging CI.
constexpr int windowTimeoutMs = 15000;
constexpr int exitTimeoutMs = 15000;
constexpr int framesTimeoutMs = 10000;

// Within a second of the game's process ending, however it ends, the
// desktop has its display mode again and nothing the game started is left.
constexpr int restoreMs = 1000;

// The Xvfb shared by every test of the run.
XServer &TestXServer();
// The mode-switching Xorg shared by the tests that need one, started the
// first time one asks; nullptr, with the reason in error, when it cannot
// start.
XServer *ModeSwitchingServer(std::string &error);
// The same Xorg with two monitors lit (XServer::Kind::XorgDummyTwoMonitors).
XServer *TwoMonitorServer(std::string &error);

// Every test starts the real game on the shared Xvfb and waits for its
// window to be on the screen.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override;
    // Starts the game on server, with environment added to its own and
    // without the standard descriptors in closed, and waits for its window.
    void StartGame(XServer &server, const std::vector<std::string> &environment = {},
                   const std::vector<int> &closed = {});
    // Escape, held until the game is gone: it must end by itself with
    // exit code 0.
    ::testing::AssertionResult EndsNormallyOnEscape();

    Display                     *display = nullptr;
    std::unique_ptr<GameProcess> game;
    Window                       window = None; // the game's window once it shows
};

// The same on the mode-switching Xorg, without a window manager: each test
// starts from the desktop's 1280x1024 and sees the game full screen in
// 800x600. The desktop's mode is put back after each test for the next.
class RealDesktop : public EndToEnd {
protected:
    void SetUp() override;
    void TearDown() override;
    // What the game's environment gets beside ours.
    virtual std::vector<std::string> GameEnvironment() const { return {}; }
    // The standard descriptors the game starts without.
    virtual std::vector<int> GameClosedDescriptors() const { return {}; }

    XServer *server = nullptr;
};

// The same on the mode-switching Xorg with two monitors
// (XServer::Kind::XorgDummyTwoMonitors), without a window manager unless the
// test starts one first. What xrandr says of the desktop is kept from
// before the game, and the desktop put back as it was after each test.
class TwoMonitorDesktop : public EndToEnd {
protected:
    void SetUp() override;
    void TearDown() override;

    XServer    *server = nullptr;
    std::string desktop; // XrandrState before the game
};
