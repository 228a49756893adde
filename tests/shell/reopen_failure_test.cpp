#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "handle_balance.h"
#include "platform/scripted/scripted.h"
#include "platform/video.h"
#include "system/virtual_keys.h"
#include "shell/game_loop.h"
#include "shell/window.h"
#include "shell_test.h"
#include "world/world.h"
#include "render/render_state.h"

namespace {

// A step of OpenGameWindow that fails when the window is opened again
// after F1, and what that attempt must release before its message. C, W, D
// and R stand for the class, window, device context and rendering context
// the failing attempt made.
struct ReopenFailure {
    const char              *step;
    const char              *message;
    std::vector<std::string> released;
};

void PrintTo(const ReopenFailure &failure, std::ostream *out)
{
    *out << failure.step;
}

// The failing re-open is into a window (the first F1) or back to full
// screen (the second F1), which also has a display mode to give back.
using ReopenCase = std::tuple<ReopenFailure, bool>;

class ReopenAfterF1 : public ShellTest, public ::testing::WithParamInterface<ReopenCase> {};

TEST_P(ReopenAfterF1, FailsWithItsMessageReleasingOnlyWhatItMadeAndEndsWithOne)
{
    const auto &[failure, intoFullscreen] = GetParam();
    // The first open is call 1, each F1 one more.
    const int failingOpen = intoFullscreen ? 3 : 2;
    scripted.failures[failure.step] = failingOpen;

    ScriptIdle(16);
    for (int open = 2; open <= failingOpen; ++open) {
        ScriptKey(VK_F1, true);
        ScriptIdle(16);
        ScriptKey(VK_F1, false);
    }
    // Never reached: the failed re-open ends the program at once.
    ScriptIdle(16, 3);
    ScriptMessage(WM_CLOSE);

    CaptureLog();
    EXPECT_EQ(RunGame(), 1) << "a window that cannot be opened again is a failure";
    const auto log = LogLines();

    // What the failing attempt released: every call after its failed step
    // up to its message box.
    std::vector<std::string> released;
    size_t at = scripted.calls.size();
    for (size_t i = 0; i < scripted.calls.size(); ++i)
        if (scripted.calls[i].find(" failed") != std::string::npos)
            at = i;
    for (size_t i = at + 1; i < scripted.calls.size(); ++i) {
        if (scripted.calls[i].rfind("MessageBox", 0) == 0)
            break;
        released.push_back(scripted.calls[i]);
    }
    // Full screen, the display mode and the cursor go back first, unless
    // the attempt failed before changing them.
    std::vector<std::string> expected;
    if (intoFullscreen && !failure.released.empty())
        expected = {"RestoreDisplayMode 0", "ShowCursor true"};
    for (const std::string &release : failure.released)
        expected.push_back(WithHandlesOfLastAttempt(release));
    EXPECT_EQ(released, expected);

    ASSERT_EQ(scripted.boxes.size(), 1u) << "the old window's handles were released once, "
                                            "when it closed, and show no message now";
    EXPECT_EQ(scripted.boxes[0].text, failure.message);
    EXPECT_EQ(scripted.boxes[0].caption, "ERROR");
    EXPECT_EQ(scripted.boxes[0].flags, static_cast<uint32_t>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(scripted.calls.back(), "MessageBox ERROR: " + std::string(failure.message))
        << "nothing happens after the message";
    EXPECT_EQ(UnbalancedResources(), std::vector<std::string>{});
    EXPECT_FALSE(windowHandle || deviceContext || renderContext || instanceHandle);

    EXPECT_EQ(scripted.swaps, failingOpen) << "a frame in each turn up to the failing F1";
    // Only the set-up lines of the windows that opened: no statistics and no
    // end line after a failed F1.
    EXPECT_EQ(log, std::vector<std::string>(failingOpen - 1, "SetVSyncState(false)"));
}

const ReopenFailure reopenFailures[] = {
    {"RegisterClass", "Failed To Register The Window Class.", {}},
    {"CreateWindow", "Window Creation Error.", {"UnregisterClass C"}},
    {"GetDeviceContext", "Can't Create A GL Device Context.",
     {"DestroyWindow W", "UnregisterClass C"}},
    {"ChoosePixelFormat", "Can't Find A Suitable PixelFormat.",
     {"ReleaseDeviceContext D", "DestroyWindow W", "UnregisterClass C"}},
    {"SetPixelFormat", "Can't Set The PixelFormat.",
     {"ReleaseDeviceContext D", "DestroyWindow W", "UnregisterClass C"}},
    {"CreateContext", "Can't Create A GL Rendering Context.",
     {"ReleaseDeviceContext D", "DestroyWindow W", "UnregisterClass C"}},
    {"MakeCurrent", "Can't Activate The GL Rendering Context.",
     {"ReleaseCurrent 0", "DeleteContext R", "ReleaseDeviceContext D", "DestroyWindow W",
      "UnregisterClass C"}},
};

INSTANTIATE_TEST_SUITE_P(
    EachStep, ReopenAfterF1,
    ::testing::Combine(::testing::ValuesIn(reopenFailures), ::testing::Bool()),
    [](const ::testing::TestParamInfo<ReopenCase> &info) {
        return std::string(std::get<0>(info.param).step) +
               (std::get<1>(info.param) ? "IntoFullscreen" : "IntoWindow");
    });

class DisplayModes : public ShellTest {};

// A display with no mode of its own to offer: the question, and No ends
// the program before anything is made but the class, which stays.
TEST_F(DisplayModes, NoneAtStartAndNoMeansExitOne)
{
    scripted.displayModes = {};
    scripted.questionAnswer = IDNO;
    ScriptIdle(16);
    CaptureLog();
    EXPECT_EQ(RunGame(), 1);
    EXPECT_TRUE(LogLines().empty()) << "no game was started, so nothing is logged";
    EXPECT_TRUE(world.objects.empty());
    ASSERT_EQ(scripted.boxes.size(), 2u);
    EXPECT_EQ(scripted.boxes[0].caption, "Quarvel");
    EXPECT_EQ(scripted.boxes[1].text, "Program Will Now Close.");
    EXPECT_EQ(scripted.boxes[1].flags, static_cast<uint32_t>(MB_OK | MB_ICONSTOP));
    EXPECT_EQ(UnbalancedResources(), std::vector<std::string>{"RegisterClass 1 never released"});
}

// The modes vanish while the game runs in a window (a monitor swapped):
// F1 back to full screen asks, and No ends the program with 1.
TEST_F(DisplayModes, GoneBeforeF1BackToFullScreenAndNoMeansExitOne)
{
    scripted.questionAnswer = IDNO;
    scripted.onIdle = [] {
        if (scripted.idleTurns == 2)
            scripted.displayModes = {};
    };
    ScriptIdle(16);
    ScriptKey(VK_F1, true); // into a window
    ScriptIdle(16);
    ScriptKey(VK_F1, false);
    ScriptKey(VK_F1, true); // back to full screen: no mode left
    ScriptIdle(16);
    ScriptIdle(16, 2);
    CaptureLog();
    EXPECT_EQ(RunGame(), 1);
    EXPECT_EQ(LogLines(), std::vector<std::string>(2, "SetVSyncState(false)"));
    ASSERT_EQ(scripted.boxes.size(), 2u);
    EXPECT_EQ(scripted.boxes[1].text, "Program Will Now Close.");
    EXPECT_EQ(scripted.swaps, 3);
    EXPECT_EQ(UnbalancedResources(), std::vector<std::string>{"RegisterClass 9 never released"})
        << "the first two windows are gone; the third attempt got no further than its class";
}

// Yes to the question every time: each F1 into full screen lands in a
// window again, and no close gives back a display mode or cursor it never
// took.
TEST_F(DisplayModes, NoneAndYesRunsInAWindowThroughEveryF1)
{
    scripted.displayModes = {};
    scripted.questionAnswer = IDYES;
    ScriptIdle(16);
    for (int i = 0; i < 3; ++i) {
        ScriptKey(VK_F1, true);
        ScriptIdle(16);
        ScriptKey(VK_F1, false);
    }
    ScriptIdle(16);
    ScriptMessage(WM_CLOSE);
    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    const auto log = LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Program terminated.");
    const auto windows = ScriptedCalls("CreateWindow");
    ASSERT_EQ(windows.size(), 4u);
    for (const std::string &window : windows)
        EXPECT_NE(window.find("windowed"), std::string::npos) << window;
    EXPECT_EQ(scripted.boxes.size(), 4u)
        << "every open asks: after each Yes the next F1 tries full screen again";
    EXPECT_TRUE(ScriptedCalls("RestoreDisplayMode").empty());
    EXPECT_TRUE(ScriptedCalls("ShowCursor").empty());
    EXPECT_EQ(UnbalancedResources(), std::vector<std::string>{});
    EXPECT_EQ(scripted.swaps, 5);
}

class ShutdownFailures : public ShellTest {};

// Every release of the last close fails: five messages, and the end goes
// on to the world's destruction, code 0 and the last line.
TEST_F(ShutdownFailures, AllFiveShownAndTheProgramStillEndsWithZero)
{
    for (const char *step : {"ReleaseCurrent", "DeleteContext", "ReleaseDeviceContext",
                             "DestroyWindow", "UnregisterClass"})
        scripted.failures[step] = 0;
    ScriptIdle(16, 3);
    ScriptMessage(WM_CLOSE);
    CaptureLog();
    EXPECT_EQ(RunGame(), 0) << "failed releases at the end are reported, not fatal";
    const auto log = LogLines();

    const std::vector<std::string> texts = {
        "Release Of DC And RC Failed.", "Release Rendering Context Failed.",
        "Release Device Context Failed.", "Could Not Release hWnd.", "Could Not Unregister Class."};
    ASSERT_EQ(scripted.boxes.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(scripted.boxes[i].text, texts[i]);
        EXPECT_EQ(scripted.boxes[i].caption, "SHUTDOWN ERROR");
        EXPECT_EQ(scripted.boxes[i].flags, static_cast<uint32_t>(MB_OK | MB_ICONINFORMATION));
    }
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[log.size() - 4], "Time difference: 48");
    EXPECT_EQ(log.back(), "Program terminated.");
    EXPECT_TRUE(world.objects.empty()) << "the world is still destroyed";
    EXPECT_FALSE(windowHandle || deviceContext || renderContext || instanceHandle)
        << "every handle is forgotten, released or not";
}

} // namespace
