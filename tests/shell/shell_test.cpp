#include "shell_test.h"

#include <sstream>

#include "debug_log_capture.h"

#include "headless/headless_game.h"
#include "platform/scripted/scripted.h"
#include "render/render_state.h"
#include "shell/window.h"
#include "world/world.h"

void ShellTest::SetUp()
{
    // The world first: the script's reset then starts the manual clock
    // again at 0.
    ResetHeadlessWorld();
    ResetScriptedPlatform();
    windowActive = true;
    fullscreen = true;
    swapIntervalProc = nullptr;
}

void ShellTest::TearDown()
{
    if (capturing)
        StopDebugLogCapture();
    // A test that left the window open closes it, so the next one starts
    // with no context.
    if (renderContext)
        CloseGameWindow();
    ResetWorld();
    ResetScriptedPlatform();
}

void ShellTest::CaptureLog()
{
    StartDebugLogCapture();
    capturing = true;
}

std::vector<std::string> ShellTest::LogLines()
{
    const std::string text = StopDebugLogCapture();
    capturing = false;
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        // Every line must end in CR LF and carry the prefix.
        EXPECT_FALSE(line.empty() || line.back() != '\r') << "line without CR LF: " << line;
        EXPECT_EQ(line.rfind("DEBUG: ", 0), 0u) << "line without prefix: " << line;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line.size() >= 7 ? line.substr(7) : line);
    }
    return lines;
}
