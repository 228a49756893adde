#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "system/opengl.h"

#include "handle_balance.h"
#include "objects/rock.h"
#include "objects/scene_object.h"
#include "platform/scripted/scripted.h"
#include "render/render_state.h"
#include "shell/game_loop.h"
#include "shell_test.h"
#include "sim/invariants.h"
#include "system/clock.h"
#include "system/key_state.h"
#include "system/virtual_keys.h"
#include "world/world.h"

namespace {

bool AllKeysUp()
{
    return std::all_of(std::begin(KeyState), std::end(KeyState),
                       [](unsigned char key) { return key == 0; });
}

class BadKeys : public ShellTest {};

// Key codes past the 256 entries of KeyState, some of them a game key or a
// hot key plus 256 or 65536: nothing may read them as that key (a cut to
// eight bits would quit, switch the window or fire) and nothing past the
// table may be written.
TEST_F(BadKeys, CodesOf256AndAboveReachNothingThroughTheLoop)
{
    const uintptr_t codes[] = {
        256, 256 + VK_ESCAPE, 256 + VK_F1, 256 + VK_F2, 256 + VK_F3, 256 + VK_SPACE,
        256 + VK_DOWN, 0x10000 + VK_ESCAPE, 0x10000 + VK_F1, 0xFFFF, 0x7FFFFFFF,
        UINTPTR_MAX - 255 + VK_ESCAPE, UINTPTR_MAX,
    };
    bool keysStayedUp = true;
    scripted.onIdle = [&] { keysStayedUp = keysStayedUp && AllKeysUp(); };
    ScriptIdle(16);
    for (const uintptr_t code : codes) {
        ScriptMessage(WM_KEYDOWN, code, 1);
        ScriptIdle(16);
    }
    for (const uintptr_t code : codes)
        ScriptMessage(WM_KEYUP, code, 1);
    ScriptIdle(16);
    ScriptMessage(WM_CLOSE);

    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    const auto log = LogLines();
    EXPECT_TRUE(keysStayedUp) << "a key code of 256 or more set an entry of KeyState";
    EXPECT_EQ(scripted.swaps, 15) << "no Escape was seen: a frame in every turn";
    EXPECT_EQ(ScriptedCalls("CreateWindow").size(), 1u) << "no F1 was seen";
    EXPECT_EQ(std::count(log.begin(), log.end(), "SetVSyncState(false)"), 1)
        << "only the set-up's line: no F2 was seen";
    EXPECT_TRUE(std::none_of(log.begin(), log.end(),
                             [](const std::string &line) { return line == "SetVSyncState(true)"; }))
        << "no F3 was seen";
    EXPECT_EQ(world.score, 0u);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Program terminated.");
}

// The whole keyboard hammered during play: every code 0..255 pressed and
// released in a random order, auto-repeats and stray key-ups included, with
// frames of random length in between. Escape is always let go before the
// frame that would see it, so the game runs through the whole storm; F1
// down at a frame switches the window, with keys held.
TEST_F(BadKeys, StormOfEveryKeyCodeKeepsTheGameRunningAndEndsWithAllKeysUp)
{
    constexpr int messages = 100000;
    std::mt19937 random(20240611);
    std::uniform_int_distribution<unsigned> anyCode(0, 255);
    std::uniform_int_distribution<int> batchSize(1, 40);
    std::uniform_int_distribution<uint32_t> frameMs(0, 40);

    // What KeyState must hold at each frame: the keys whose last message
    // was a key-down, except F1, which the loop clears when it acts on it.
    using Keys = std::array<unsigned char, 256>;
    std::vector<Keys> expectedAtFrame;
    Keys down{};
    std::array<int, 256> presses{};
    int sent = 0;
    auto send = [&](unsigned code, bool press) {
        ScriptKey(code, press);
        down[code] = press ? 1 : 0;
        presses[code] += press ? 1 : 0;
        ++sent;
    };
    // The storm, then every code let go once more, in a random order.
    std::array<unsigned, 256> lastReleases;
    for (unsigned code = 0; code < 256; ++code)
        lastReleases[code] = code;
    std::shuffle(lastReleases.begin(), lastReleases.end(), random);
    while (sent < messages - 256) {
        const int batch = std::min(batchSize(random), messages - 256 - sent);
        for (int i = 0; i < batch; ++i) {
            unsigned code = anyCode(random);
            const bool press = random() % 2 == 0;
            // An Escape press needs room for its release in the batch.
            if (code == VK_ESCAPE && press && i == batch - 1)
                code = VK_SPACE;
            send(code, press);
            if (code == VK_ESCAPE && press) {
                send(VK_ESCAPE, false);
                ++i;
            }
        }
        ScriptIdle(frameMs(random));
        expectedAtFrame.push_back(down);
        down[VK_F1] = 0;
    }
    for (const unsigned code : lastReleases)
        send(code, false);
    ScriptIdle(16);
    expectedAtFrame.push_back(Keys{});
    ScriptMessage(WM_CLOSE);

    ASSERT_EQ(sent, messages);
    for (unsigned code = 0; code < 256; ++code)
        ASSERT_GT(presses[code], 0) << "code " << code << " was never pressed";

    size_t frame = 0;
    int keyStateFaults = 0;
    std::string firstWorldFault;
    WorldWatch watch;
    scripted.onIdle = [&] {
        // The world before this turn's frame, after the last one.
        if (frame == 0)
            watch.Start();
        const std::string broken = watch.Observe();
        if (firstWorldFault.empty() && !broken.empty())
            firstWorldFault = "before frame " + std::to_string(frame) + ": " + broken;
        if (frame < expectedAtFrame.size() &&
            !std::equal(std::begin(KeyState), std::end(KeyState), expectedAtFrame[frame].begin()))
            ++keyStateFaults;
        ++frame;
    };

    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    const auto log = LogLines();

    EXPECT_EQ(frame, expectedAtFrame.size()) << "every scripted turn was played";
    EXPECT_EQ(scripted.swaps, static_cast<int>(expectedAtFrame.size()))
        << "a frame in every turn: Escape never ended the game early";
    EXPECT_TRUE(ScriptedCalls("script exhausted").empty());
    EXPECT_EQ(keyStateFaults, 0) << "frames at which KeyState was not what the keys said";
    EXPECT_TRUE(AllKeysUp()) << "a key stayed down after its last key-up";
    EXPECT_EQ(firstWorldFault, "");
    EXPECT_EQ(UnbalancedResources(), std::vector<std::string>{});
    EXPECT_GT(ScriptedCalls("CreateWindow").size(), 10u) << "F1 switched now and then";
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Program terminated.");
    RecordProperty("messages", sent);
    RecordProperty("frames", static_cast<int>(expectedAtFrame.size()));
    RecordProperty("windows", static_cast<int>(ScriptedCalls("CreateWindow").size()));
    RecordProperty("kills", static_cast<int>(watch.kills));
    RecordProperty("shipsLost", static_cast<int>(watch.shipsLost));
}

// WM_SIZE with the client area as the low and high words of lParam.
intptr_t ClientSize(unsigned width, unsigned height)
{
    return static_cast<intptr_t>(width | (height << 16));
}

bool ProjectionIsFinite()
{
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    return std::all_of(std::begin(projection), std::end(projection),
                       [](GLfloat value) { return std::isfinite(value); });
}

class WindowSize : public ShellTest {};

// A minimised or collapsed client area (0 x 0), a single pixel, and sizes
// far past what GL can show: the viewport stays usable, the projection
// finite, and the frames go on without a GL error.
TEST_F(WindowSize, ZeroOneAndHugeClientAreasKeepTheFramesRunning)
{
    struct Seen {
        GLint  viewport[4];
        GLint  largest[2]; // GL_MAX_VIEWPORT_DIMS
        bool   finite;
        GLenum error;
        int    swaps;
    };
    std::vector<Seen> seen;
    scripted.onIdle = [&] {
        Seen look{};
        glGetIntegerv(GL_VIEWPORT, look.viewport);
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, look.largest);
        look.finite = ProjectionIsFinite();
        // Errors collect until asked for: this covers the frames before.
        look.error = glGetError();
        look.swaps = scripted.swaps;
        seen.push_back(look);
    };
    struct Size {
        intptr_t lParam;
        GLint    width, height; // the viewport; -1 where GL's largest
    };
    const Size sizes[] = {{ClientSize(0, 0), 0, 0},
                          {ClientSize(1, 1), 1, 1},
                          {ClientSize(0xFFFF, 0xFFFF), -1, -1},
                          {static_cast<intptr_t>(-1), -1, -1},
                          {ClientSize(800, 600), 800, 600}};
    ScriptIdle(16);
    for (const Size &size : sizes) {
        ScriptMessage(WM_SIZE, 0, size.lParam);
        ScriptIdle(16, 2);
    }
    ScriptMessage(WM_CLOSE);
    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    const auto log = LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Program terminated.");

    ASSERT_EQ(seen.size(), 11u);
    for (size_t i = 0; i < std::size(sizes); ++i) {
        // The first look of each pair is right after the WM_SIZE, the
        // second after a frame drawn at that size.
        const Seen &look = seen[1 + 2 * i];
        const Seen &after = seen[2 + 2 * i];
        const GLint width = sizes[i].width >= 0 ? sizes[i].width : look.largest[0];
        const GLint height = sizes[i].height >= 0 ? sizes[i].height : look.largest[1];
        EXPECT_EQ(look.viewport[2], width) << "size " << i;
        EXPECT_EQ(look.viewport[3], height) << "size " << i << " (a zero height is taken as 1)";
        EXPECT_TRUE(look.finite) << "size " << i << ": the projection has an infinite or NaN entry";
        EXPECT_EQ(after.error, static_cast<GLenum>(GL_NO_ERROR)) << "size " << i;
        EXPECT_EQ(after.swaps, look.swaps + 1) << "size " << i << ": the frame ran";
    }
    EXPECT_EQ(scripted.swaps, 11);
}

// Records the frame time of every update it gets.
class FrameTimes : public SceneObject {
public:
    explicit FrameTimes(std::vector<int> &seen) : seen(seen) {}
    void Update(int frameMs) override { seen.push_back(frameMs); }
    void Draw() override {}

private:
    std::vector<int> &seen;
};

class FrameTime : public ShellTest {};

// A clock that stands still passes 0, and nothing moves; a clock that
// jumps by hours (a suspended machine) passes 200. The world stays whole
// and finite through both.
TEST_F(FrameTime, StandingClockPassesZeroAndAJumpOfHoursPasses200)
{
    constexpr uint32_t threeHours = 3u * 60u * 60u * 1000u;
    std::vector<int> frames;
    std::vector<Vector3> rocksBefore, rocksAfter;
    std::string firstWorldFault;
    scripted.onIdle = [&] {
        const int turn = scripted.idleTurns;
        if (turn == 1)
            AddObject(new FrameTimes(frames));
        if (turn == 2 || turn == 52)
            for (const Rock *rock : world.rocks)
                (turn == 2 ? rocksBefore : rocksAfter).push_back(rock->position);
        const std::string broken = CheckWorldStructure();
        if (firstWorldFault.empty() && !broken.empty())
            firstWorldFault = "turn " + std::to_string(turn) + ": " + broken;
    };
    UseManualClock(1000);
    ScriptIdle(16);
    ScriptIdle(0, 50);
    ScriptIdle(threeHours);
    ScriptIdle(16, 5);
    ScriptMessage(WM_CLOSE);

    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    const auto log = LogLines();

    std::vector<int> expected = {16};
    expected.insert(expected.end(), 50, 0);
    expected.push_back(200);
    expected.insert(expected.end(), 5, 16);
    EXPECT_EQ(frames, expected);
    ASSERT_EQ(rocksBefore.size(), 4u);
    ASSERT_EQ(rocksAfter.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(Length(Subtract(rocksBefore[i], rocksAfter[i])), 0.0f)
            << "rock " << i << " moved while no time passed";
    EXPECT_EQ(firstWorldFault, "");
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[log.size() - 4], "Time difference: " + std::to_string(16 + threeHours + 80))
        << "the statistics keep the real time";
}

// A run in which the clock never moves at all: nothing divides by the
// zero time, and the end is normal.
TEST_F(FrameTime, ClockThatNeverMovesStillEndsNormally)
{
    ScriptIdle(0, 10);
    ScriptMessage(WM_CLOSE);
    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    const auto log = LogLines();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[log.size() - 4], "Time difference: 0");
    EXPECT_EQ(log[log.size() - 3], "Frames: 10");
    EXPECT_EQ(log[log.size() - 2].rfind("Average FPS: ", 0), 0u);
    EXPECT_EQ(log.back(), "Program terminated.");
    EXPECT_EQ(scripted.swaps, 10);
}

} // namespace
