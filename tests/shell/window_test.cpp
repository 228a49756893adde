#include "system/opengl.h"

#include "platform/scripted/scripted.h"
#include "platform/video.h"
#include "shell/window.h"
#include "shell_test.h"
#include "world/world.h"

static bool Open()
{
    return OpenGameWindow("Quarvel - by Tobrenik", 800, 600, 32, fullscreen);
}

class OpenWindow : public ShellTest {};

TEST_F(OpenWindow, StepsRunInOrderAndEndWithTheRenderSetUp)
{
    ASSERT_TRUE(Open());
    const std::vector<std::string> expected = {
        "RegisterClass -> 1",
        "ChangeDisplayMode 800x600x32",
        "ShowCursor false",
        "CreateWindow -> 2 Quarvel - by Tobrenik 800x600 fullscreen",
        "GetDeviceContext -> 3",
        "ChoosePixelFormat 32/16",
        "SetPixelFormat 1",
        "CreateContext -> 4",
        "MakeCurrent 4",
        "ShowWindow 2",
        "BuildBitmapLists Lucida Sans 24 0..254",
    };
    EXPECT_EQ(scripted.calls, expected);
    EXPECT_TRUE(scripted.boxes.empty());
    EXPECT_EQ(world.lights.size(), 7u) << "the first set-up makes the seven lights";
}

TEST_F(OpenWindow, FallsBackTo16BitsThenTo640x480)
{
    scripted.displayModes = {{800, 600, 16}};
    ASSERT_TRUE(Open());
    EXPECT_EQ(ScriptedCalls("ChangeDisplayMode"),
              (std::vector<std::string>{"ChangeDisplayMode 800x600x32 refused",
                                        "ChangeDisplayMode 800x600x16"}));
    EXPECT_EQ(ScriptedCalls("ChoosePixelFormat"), std::vector<std::string>{"ChoosePixelFormat 32/16"})
        << "the pixel format still asks for 32 colour bits";
    CloseGameWindow();

    ResetScriptedPlatform();
    scripted.displayModes = {{640, 480, 16}};
    ASSERT_TRUE(Open());
    EXPECT_EQ(ScriptedCalls("ChangeDisplayMode").back(), "ChangeDisplayMode 640x480x16");
    EXPECT_NE(ScriptedCalls("CreateWindow")[0].find("640x480 fullscreen"), std::string::npos)
        << "the window is the 640 x 480 screen's size, not larger than the screen";
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640) << "the whole picture, scaled into the screen";
    EXPECT_EQ(viewport[3], 480);
    EXPECT_TRUE(fullscreen);
}

TEST_F(OpenWindow, NoFullscreenModeAsksAndYesRunsInAWindow)
{
    scripted.displayModes = {};
    scripted.questionAnswer = IDYES;
    ASSERT_TRUE(Open());
    ASSERT_EQ(scripted.boxes.size(), 1u);
    EXPECT_EQ(scripted.boxes[0].caption, "Quarvel");
    EXPECT_EQ(scripted.boxes[0].text, "The Requested Fullscreen Mode Is Not Supported By\n"
                                      "Your Video Card. Use Windowed Mode Instead?");
    EXPECT_EQ(scripted.boxes[0].flags, static_cast<uint32_t>(MB_YESNO | MB_ICONEXCLAMATION));
    EXPECT_FALSE(fullscreen) << "so the next F1 tries full screen again";
    EXPECT_TRUE(ScriptedCalls("ShowCursor").empty()) << "the cursor stays in a window";
    EXPECT_NE(ScriptedCalls("CreateWindow")[0].find("windowed"), std::string::npos);
}

TEST_F(OpenWindow, NoFullscreenModeAndNoMeansCloseReleasingNothing)
{
    scripted.displayModes = {};
    scripted.questionAnswer = IDNO;
    EXPECT_FALSE(Open());
    ASSERT_EQ(scripted.boxes.size(), 2u);
    EXPECT_EQ(scripted.boxes[1].caption, "ERROR");
    EXPECT_EQ(scripted.boxes[1].text, "Program Will Now Close.");
    EXPECT_EQ(scripted.boxes[1].flags, static_cast<uint32_t>(MB_OK | MB_ICONSTOP));
    EXPECT_TRUE(ScriptedCalls("UnregisterClass").empty()) << "the class stays registered";
    EXPECT_TRUE(ScriptedCalls("CreateWindow").empty());
}

TEST_F(OpenWindow, RegisterFailureShowsItsMessageAndReleasesNothing)
{
    scripted.failures["RegisterClass"] = 0;
    EXPECT_FALSE(Open());
    ASSERT_EQ(scripted.boxes.size(), 1u);
    EXPECT_EQ(scripted.boxes[0].text, "Failed To Register The Window Class.");
    EXPECT_EQ(scripted.boxes[0].caption, "ERROR");
    EXPECT_EQ(scripted.boxes[0].flags, static_cast<uint32_t>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(scripted.calls.size(), 2u) << "only the failed step and its message";
}

// Every later step: what fails, its message, and what was released first.
struct FailingStep {
    const char *step;
    const char *message;
    std::vector<std::string> released;
};

static void PrintTo(const FailingStep &failing, std::ostream *out)
{
    *out << failing.step;
}

class OpenWindowFailure : public ShellTest, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(OpenWindowFailure, ReleasesWhatThisAttemptMadeThenShowsTheMessage)
{
    const FailingStep &failing = GetParam();
    scripted.failures[failing.step] = 0;
    EXPECT_FALSE(Open());

    // The releases come after the failure and before the message box.
    std::vector<std::string> releases;
    bool afterFailure = false;
    for (const std::string &call : scripted.calls) {
        if (call.rfind("MessageBox", 0) == 0)
            break;
        if (afterFailure)
            releases.push_back(call);
        if (call.find("failed") != std::string::npos)
            afterFailure = true;
    }
    EXPECT_EQ(releases, failing.released);
    ASSERT_EQ(scripted.boxes.size(), 1u);
    EXPECT_EQ(scripted.boxes[0].text, failing.message);
    EXPECT_EQ(scripted.boxes[0].caption, "ERROR");
    EXPECT_FALSE(windowHandle || deviceContext || renderContext || instanceHandle)
        << "every handle is forgotten";
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, OpenWindowFailure,
    ::testing::Values(
        FailingStep{"CreateWindow", "Window Creation Error.",
                    {"RestoreDisplayMode 0", "ShowCursor true", "UnregisterClass 1"}},
        FailingStep{"GetDeviceContext", "Can't Create A GL Device Context.",
                    {"RestoreDisplayMode 0", "ShowCursor true", "DestroyWindow 2",
                     "UnregisterClass 1"}},
        FailingStep{"ChoosePixelFormat", "Can't Find A Suitable PixelFormat.",
                    {"RestoreDisplayMode 0", "ShowCursor true", "ReleaseDeviceContext 3",
                     "DestroyWindow 2", "UnregisterClass 1"}},
        FailingStep{"SetPixelFormat", "Can't Set The PixelFormat.",
                    {"RestoreDisplayMode 0", "ShowCursor true", "ReleaseDeviceContext 3",
                     "DestroyWindow 2", "UnregisterClass 1"}},
        FailingStep{"CreateContext", "Can't Create A GL Rendering Context.",
                    {"RestoreDisplayMode 0", "ShowCursor true", "ReleaseDeviceContext 3",
                     "DestroyWindow 2", "UnregisterClass 1"}},
        FailingStep{"MakeCurrent", "Can't Activate The GL Rendering Context.",
                    {"RestoreDisplayMode 0", "ShowCursor true", "ReleaseCurrent 0",
                     "DeleteContext 4", "ReleaseDeviceContext 3", "DestroyWindow 2",
                     "UnregisterClass 1"}}),
    [](const ::testing::TestParamInfo<FailingStep> &info) { return std::string(info.param.step); });

class CloseWindow : public ShellTest {};

TEST_F(CloseWindow, ReleasesInOrderAndGoesOnPastEveryFailure)
{
    ASSERT_TRUE(Open());
    for (const char *step : {"ReleaseCurrent", "DeleteContext", "ReleaseDeviceContext",
                             "DestroyWindow", "UnregisterClass"})
        scripted.failures[step] = 0;
    scripted.calls.clear();
    CloseGameWindow();

    const std::vector<std::string> expected = {
        "RestoreDisplayMode 0",
        "ShowCursor true",
        "ReleaseCurrent 0 failed",
        "MessageBox SHUTDOWN ERROR: Release Of DC And RC Failed.",
        "DeleteContext 4 failed",
        "MessageBox SHUTDOWN ERROR: Release Rendering Context Failed.",
        "ReleaseDeviceContext 3 failed",
        "MessageBox SHUTDOWN ERROR: Release Device Context Failed.",
        "DestroyWindow 2 failed",
        "MessageBox SHUTDOWN ERROR: Could Not Release hWnd.",
        "UnregisterClass 1 failed",
        "MessageBox SHUTDOWN ERROR: Could Not Unregister Class.",
    };
    EXPECT_EQ(scripted.calls, expected);
    for (const ScriptedMessageBox &box : scripted.boxes)
        EXPECT_EQ(box.flags, static_cast<uint32_t>(MB_OK | MB_ICONINFORMATION)) << box.text;
}

TEST_F(CloseWindow, WindowedCloseLeavesTheDisplayModeAlone)
{
    fullscreen = false;
    ASSERT_TRUE(Open());
    scripted.calls.clear();
    CloseGameWindow();
    EXPECT_TRUE(ScriptedCalls("RestoreDisplayMode").empty());
    EXPECT_TRUE(ScriptedCalls("ShowCursor").empty());
    EXPECT_TRUE(scripted.boxes.empty());
}

TEST_F(CloseWindow, FailedReopenReleasesOnlyItsOwnHandles)
{
    ASSERT_TRUE(Open());
    CloseGameWindow();
    scripted.failures["GetDeviceContext"] = 2;
    scripted.calls.clear();
    EXPECT_FALSE(Open());
    // Handles of the first window were forgotten when it closed.
    EXPECT_EQ(ScriptedCalls("DestroyWindow"), std::vector<std::string>{"DestroyWindow 6"});
    EXPECT_EQ(ScriptedCalls("UnregisterClass"), std::vector<std::string>{"UnregisterClass 5"});
    EXPECT_TRUE(ScriptedCalls("ReleaseDeviceContext").empty());
    ASSERT_EQ(scripted.boxes.size(), 1u) << "no release message for the old window";
    EXPECT_EQ(scripted.boxes[0].text, "Can't Create A GL Device Context.");
}
