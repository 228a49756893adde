#include <algorithm>
#include <vector>

#include "objects/scene_object.h"
#include "platform/scripted/scripted.h"
#include "platform/video.h"
#include "render/render_state.h"
#include "shell/game_loop.h"
#include "shell/window.h"
#include "shell_test.h"
#include "system/clock.h"
#include "system/key_state.h"
#include "system/virtual_keys.h"
#include "world/world.h"

// Records the frame time of every update it gets.
class FrameProbe : public SceneObject {
public:
    explicit FrameProbe(std::vector<int> &seen) : seen(seen) {}
    void Update(int frameMs) override { seen.push_back(frameMs); }
    void Draw() override {}

private:
    std::vector<int> &seen;
};

class FrameLoop : public ShellTest {
protected:
    // On the first idle turn a probe joins the world and sees every frame.
    void WatchFrames()
    {
        scripted.onIdle = [this] {
            if (!probeAdded)
                AddObject(new FrameProbe(frames));
            probeAdded = true;
        };
    }

    std::vector<int> frames;
    bool probeAdded = false;
};

TEST_F(FrameLoop, FrameTimeIsTheClampedUnsignedDifference)
{
    // Start just before the millisecond counter wraps.
    UseManualClock(0xFFFFFF00u);
    WatchFrames();
    ScriptIdle(7);    // first frame: the time since the start-up reading
    ScriptIdle(5000); // a stall passes 200
    ScriptIdle(200);
    ScriptIdle(199);
    ScriptIdle(300);  // crosses 2^32 on the way
    ScriptIdle(16);
    ScriptMessage(WM_CLOSE);

    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    const auto log = LogLines();

    EXPECT_EQ(frames, (std::vector<int>{7, 200, 200, 199, 200, 16}));
    ASSERT_GE(log.size(), 4u);
    // The statistics use the real elapsed time, across the wrap too.
    EXPECT_EQ(log[log.size() - 4], "Time difference: 5722");
    EXPECT_EQ(log[log.size() - 3], "Frames: 6");
    EXPECT_EQ(log.back(), "Program terminated.");
}

TEST_F(FrameLoop, AverageUsesTheSinglePrecisionFactor)
{
    ScriptIdle(10, 1000);
    ScriptMessage(WM_CLOSE);
    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    const auto log = LogLines();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[log.size() - 4], "Time difference: 10000");
    EXPECT_EQ(log[log.size() - 3], "Frames: 1000");
    EXPECT_EQ(log[log.size() - 2], "Average FPS: 99.999995")
        << "1000 frames in 10000 ms with the float factor 0.001";
    EXPECT_EQ(scripted.swaps, 1000);
}

TEST_F(FrameLoop, EscapeEndsWithoutDrawingAndStillHandlesHotKeys)
{
    ScriptIdle(16, 2);
    ScriptKey(VK_ESCAPE, true);
    ScriptKey(VK_F2, true);
    ScriptIdle(16);
    CaptureLog();
    EXPECT_EQ(RunGame(), 0) << "Escape is a normal end";
    const auto log = LogLines();

    EXPECT_EQ(scripted.swaps, 2) << "the turn that sees Escape draws nothing";
    const auto f2 = std::count(log.begin(), log.end(), "SetVSyncState(false)");
    // One from the window set-up, one from the F2 of the last turn.
    EXPECT_EQ(f2, 2);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[log.size() - 4].rfind("Time difference: ", 0), 0u);
    EXPECT_EQ(log.back(), "Program terminated.");
    EXPECT_TRUE(world.objects.empty()) << "the world is cleared at exit";
    EXPECT_FALSE(renderContext) << "the window is closed at exit";
}

TEST_F(FrameLoop, MinimisedWindowRunsNoFramesAndEscapeWaits)
{
    ScriptIdle(16);
    ScriptMessage(WM_ACTIVATE, 1u << 16); // minimised
    ScriptKey(VK_ESCAPE, true);
    ScriptIdle(1000, 3);
    ScriptMessage(WM_ACTIVATE, 1); // restored
    ScriptIdle(16);
    EXPECT_EQ(RunGame(), 0);
    EXPECT_EQ(scripted.swaps, 1) << "frames only before the window was minimised";
    EXPECT_EQ(scripted.idleTurns, 5) << "Escape acted on only once the window was active";
    EXPECT_TRUE(ScriptedCalls("script exhausted").empty());
}

TEST_F(FrameLoop, EachF1KeyDownSwitchesOnceAndKeepsTheWorld)
{
    ScriptIdle(16);
    ScriptKey(VK_F1, true);
    ScriptIdle(16);
    ScriptKey(VK_F1, true); // auto-repeat
    ScriptIdle(16);
    ScriptKey(VK_F1, false);
    ScriptIdle(16);
    ScriptMessage(WM_CLOSE);
    EXPECT_EQ(RunGame(), 0);

    const auto windows = ScriptedCalls("CreateWindow");
    ASSERT_EQ(windows.size(), 3u);
    EXPECT_NE(windows[0].find("fullscreen"), std::string::npos);
    EXPECT_NE(windows[1].find("windowed"), std::string::npos);
    EXPECT_NE(windows[2].find("fullscreen"), std::string::npos);
    EXPECT_EQ(ScriptedCalls("DestroyWindow").size(), 3u);
    EXPECT_EQ(KeyState[VK_F1], 0);
    EXPECT_EQ(scripted.swaps, 4) << "frames go on in every window";
    EXPECT_EQ(ScriptedCalls("BuildBitmapLists").size(), 3u) << "a font for every context";
    EXPECT_EQ(world.lights.size(), 7u) << "the lights are not made again";
}

TEST_F(FrameLoop, WorldSurvivesWindowRecreation)
{
    std::vector<SceneObject *> before;
    scripted.onIdle = [&] {
        if (before.empty())
            for (const auto &object : world.objects)
                before.push_back(object.get());
        else if (scripted.idleTurns == 3) {
            // After the re-creation, before another frame.
            ASSERT_GE(world.objects.size(), 112u);
            for (size_t i = 0; i < 112; ++i)
                EXPECT_EQ(world.objects[i].get(), before[i]) << "object " << i << " lost or remade";
        }
    };
    ScriptIdle(0);
    ScriptKey(VK_F1, true);
    ScriptMessage(WM_ACTIVATE, 1u << 16); // minimised: no frame after the F1
    ScriptIdle(0, 2);
    ScriptMessage(WM_CLOSE);
    EXPECT_EQ(RunGame(), 0);
    EXPECT_EQ(before.size(), 112u) << "7 lights, ship, 4 rocks, 100 stars";
}

TEST_F(FrameLoop, HeldF2LogsEveryTurnAndWinsOverF3)
{
    ScriptIdle(16);
    ScriptKey(VK_F3, true);
    ScriptIdle(16);
    ScriptKey(VK_F2, true);
    ScriptIdle(16, 3);
    ScriptKey(VK_F2, false);
    ScriptIdle(16);
    ScriptMessage(WM_CLOSE);
    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    const auto log = LogLines();
    const auto offs = std::count(log.begin(), log.end(), "SetVSyncState(false)");
    const auto ons = std::count(log.begin(), log.end(), "SetVSyncState(true)");
    EXPECT_EQ(offs, 1 + 3) << "the set-up, then three turns of F2 held with F3";
    EXPECT_EQ(ons, 1 + 1) << "F3 alone, before F2 and after F2 is released";
    // The set-up probe (0), the set-up's off (0), then 1, 0, 0, 0, 1.
    EXPECT_EQ(scripted.swapIntervals, (std::vector<int>{0, 0, 1, 0, 0, 0, 1}));
}

TEST_F(FrameLoop, CloseBoxEndsWithCodeZeroAndTerminatedLast)
{
    ScriptIdle(16, 3);
    ScriptMessage(WM_CLOSE);
    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    const auto log = LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Program terminated.");
    EXPECT_EQ(ScriptedCalls("Sleep 0").size(), 3u) << "the loop yields after every frame";
}

TEST_F(FrameLoop, WindowThatCannotOpenEndsWithCodeOne)
{
    scripted.failures["CreateWindow"] = 0;
    CaptureLog();
    EXPECT_EQ(RunGame(), 1) << "a failure must not report success";
    EXPECT_TRUE(LogLines().empty()) << "nothing is logged when the window never opens";
    EXPECT_TRUE(world.objects.empty()) << "no game is started";
    ASSERT_EQ(scripted.boxes.size(), 1u);
    EXPECT_EQ(scripted.boxes[0].text, "Window Creation Error.");
}

TEST_F(FrameLoop, WindowThatCannotReopenAfterF1EndsAtOnceWithCodeOne)
{
    scripted.failures["CreateContext"] = 2;
    ScriptIdle(16);
    ScriptKey(VK_F1, true);
    ScriptIdle(16);
    ScriptIdle(16);
    CaptureLog();
    EXPECT_EQ(RunGame(), 1);
    const auto log = LogLines();
    for (const std::string &line : log) {
        EXPECT_EQ(line.find("Program terminated."), std::string::npos);
        EXPECT_EQ(line.find("Frames:"), std::string::npos) << "no statistics after a failed F1";
    }
    ASSERT_EQ(scripted.boxes.size(), 1u);
    EXPECT_EQ(scripted.boxes[0].text, "Can't Create A GL Rendering Context.");
    EXPECT_EQ(scripted.swaps, 2) << "the turn of the F1 still ran its frame first";
}
