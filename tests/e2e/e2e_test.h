#pragma once

#include <memory>

#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include "game_process.h"
#include "picture.h"
#include "x_server.h"

// Generous limits: they only keep a hung game from hanging CI.
constexpr int windowTimeoutMs = 15000;
constexpr int exitTimeoutMs = 15000;
constexpr int framesTimeoutMs = 10000;

// The X server shared by every test of the run.
XServer &TestXServer();

// Every test starts the real game on the shared X server and waits for its
// window to be on the screen.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override;
    // Escape, held until the game is gone: it must end by itself with
    // exit code 0.
    ::testing::AssertionResult EndsNormallyOnEscape();

    Display                     *display = nullptr;
    std::unique_ptr<GameProcess> game;
    Window                       window = None; // the game's window once it shows
};

// The score, white, in the lower left corner of the 800 x 600 screen.
::testing::AssertionResult ShowsScoreText(const Picture &screen);
// Coloured pixels outside the score's corner: rocks are on the screen.
::testing::AssertionResult ShowsColouredRocks(const Picture &screen);
