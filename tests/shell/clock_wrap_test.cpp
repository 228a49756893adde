#include <cstdint>
#include <functional>
#include <vector>

#include "objects/rock.h"
#include "objects/scene_object.h"
#include "objects/ship.h"
#include "system/clock.h"
#include "platform/scripted/scripted.h"
#include "system/virtual_keys.h"
#include "shell/game_loop.h"
#include "shell_test.h"
#include "world/world.h"

namespace {

// What one update pass left behind, as the watch below saw it: the clock,
// the frame time, and the ship.
struct Pass {
    uint32_t  now;
    int       frameMs;
    bool      hasShip;
    ShipState state;
};

// Appended once the game runs: rocks and ship come earlier in the list,
// so it sees each pass's outcome; a ship made by the pass comes after it,
// but it is made before any object updates.
class PassWatch : public SceneObject {
public:
    explicit PassWatch(std::vector<Pass> &passes) : passes(passes) {}
    void Update(int frameMs) override
    {
        passes.push_back({timeGetTime(), frameMs, world.ship != nullptr,
                          world.ship ? world.ship->state : ShipState::Normal});
    }
    void Draw() override {}

private:
    std::vector<Pass> &passes;
};

class ClockWrap : public ShellTest {
protected:
    // The watch joins at the first turn, before its frame.
    void WatchPasses()
    {
        scripted.onIdle = [this] {
            if (scripted.idleTurns == 1)
                AddObject(new PassWatch(passes));
            if (scripted.idleTurns == 2 && onSecondTurn)
                onSecondTurn();
        };
    }

    std::vector<Pass>     passes;
    std::function<void()> onSecondTurn;
};

// The ship is lost a second before the millisecond clock wraps, so the
// wait has passes on both sides of the wrap: the new ship still comes in
// the first pass more than 2000 ms of clock time after the loss was
// noticed, not at once and not never.
TEST_F(ClockWrap, RespawnWaitAcrossTheWrapTakesJustOver2000Milliseconds)
{
    constexpr uint32_t noticed = 0xFFFFFC00u;
    // Rocks held still, so that only the clock decides. The ship is taken
    // to a corner and a rock put on it there, which destroys it in the next
    // frame; the halves the rock splits into stay far from the centre,
    // where they would hold up the new ship.
    onSecondTurn = [] {
        for (Rock *rock : world.rocks)
            rock->velocity = Vector3{};
        ASSERT_NE(world.ship, nullptr);
        const Vector3 corner{8.0f, -6.0f, 0.0f};
        world.ship->Translate(Subtract(corner, world.ship->position), false);
        Rock *rock = world.rocks.front();
        rock->Translate(Subtract(corner, rock->position), false);
    };
    WatchPasses();
    UseManualClock(noticed - 48);
    ScriptIdle(16); // the watch joins
    ScriptIdle(16); // the rock meets the ship: lost in this pass
    ScriptIdle(16); // noticed at the start of this pass
    ScriptIdle(200, 10);
    ScriptIdle(1);
    ScriptIdle(16);
    ScriptMessage(WM_CLOSE);
    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    LogLines();

    ASSERT_EQ(passes.size(), 15u);
    EXPECT_FALSE(passes[1].hasShip) << "the ship is destroyed by the rock put on it";
    EXPECT_EQ(passes[2].now, noticed);
    for (size_t i = 2; i <= 12; ++i)
        EXPECT_FALSE(passes[i].hasShip) << "pass at " << passes[i].now - noticed
                                        << " ms after the loss was noticed";
    EXPECT_EQ(passes[12].now - noticed, 2000u) << "exactly 2000 ms is not more than 2000";
    EXPECT_LT(passes[12].now, noticed) << "the wait crossed the wrap of the clock";
    EXPECT_EQ(passes[13].now - noticed, 2001u);
    EXPECT_TRUE(passes[13].hasShip) << "the ship comes back just over 2000 ms after";
    EXPECT_EQ(passes[13].frameMs, 1);
    EXPECT_EQ(world.respawnTimer, World::idleTimer);
}

// The ship jumps just before the clock wraps: it stays in hyperspace for
// exactly the passes up to 1000 ms of clock time and comes out in the
// first pass after, across the wrap.
TEST_F(ClockWrap, HyperspaceJumpAcrossTheWrapTakesJustOver1000Milliseconds)
{
    constexpr uint32_t jumped = 0xFFFFFE00u;
    WatchPasses();
    UseManualClock(jumped - 32);
    ScriptIdle(16);
    ScriptKey(VK_DOWN, true);
    ScriptIdle(16); // the jump
    ScriptKey(VK_DOWN, false);
    ScriptIdle(200, 5);
    ScriptIdle(1);
    ScriptIdle(16);
    ScriptMessage(WM_CLOSE);
    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    LogLines();

    ASSERT_EQ(passes.size(), 9u);
    ASSERT_TRUE(passes[1].hasShip);
    EXPECT_EQ(passes[0].state, ShipState::Normal);
    EXPECT_EQ(passes[1].state, ShipState::Hyperspace);
    EXPECT_EQ(passes[1].now, jumped);
    for (size_t i = 1; i <= 6; ++i)
        EXPECT_EQ(passes[i].state, ShipState::Hyperspace)
            << "pass at " << passes[i].now - jumped << " ms after the jump";
    EXPECT_EQ(passes[6].now - jumped, 1000u);
    EXPECT_LT(passes[6].now, jumped) << "the jump crossed the wrap of the clock";
    EXPECT_EQ(passes[7].now - jumped, 1001u);
    EXPECT_EQ(passes[7].state, ShipState::Normal) << "out just over 1000 ms after the jump";
    EXPECT_EQ(passes[7].frameMs, 1) << "frame times stay true across the wrap";
    EXPECT_EQ(passes[8].frameMs, 16);
}

} // namespace
