#include <algorithm>
#include <string>
#include <vector>

#include "system/opengl.h"

#include "gl_list_watch.h"
#include "handle_balance.h"
#include "objects/explosion_light.h"
#include "objects/scene_object.h"
#include "platform/scripted/scripted.h"
#include "system/virtual_keys.h"
#include "shell/game_loop.h"
#include "render/render_state.h"
#include "shell/window.h"
#include "shell_test.h"
#include "world/world.h"
#include "render/text.h"

namespace {

using ObjectList = std::vector<const SceneObject *>;

ObjectList CurrentObjects()
{
    ObjectList list;
    for (const auto &object : world.objects)
        list.push_back(object.get());
    return list;
}

// What the watch below saw; the test keeps it, the world owns the watch.
struct DrawRecord {
    ObjectList lastDrawn;
    bool       fontPresent = true;
    int        draws = 0;
};

// Joins the world and, in every draw pass, notes the object list as it
// stands once the frame's updates are done: the last look before the F1 of
// the same loop turn closes the window. It also notes whether the font of
// the context it draws in exists.
class DrawWatch : public SceneObject {
public:
    explicit DrawWatch(DrawRecord &record) : record(record) {}
    void Update(int) override {}
    void Draw() override
    {
        record.lastDrawn = CurrentObjects();
        record.fontPresent =
            record.fontPresent && fontListBase != 0 && glIsList(fontListBase + 'S');
        ++record.draws;
    }

private:
    DrawRecord &record;
};

constexpr int switches = 200;

class WindowChurn : public ShellTest {};

// F1 two hundred times while the game plays, then Escape. Every window
// gets a new context, font and render set-up; the world carries on
// untouched, and everything each window made is released.
TEST_F(WindowChurn, TwoHundredSwitchesKeepTheWorldAndReleaseEveryWindow)
{
    deletedLists.clear();
    DrawRecord drawn;
    bool watching = false;
    int turnsChecked = 0;
    std::vector<std::string> worldFaults;
    scripted.onIdle = [&] {
        if (!watching) {
            AddObject(new DrawWatch(drawn));
            watching = true;
            return;
        }
        // Here the previous turn's frame and its F1 re-creation are done
        // and the next frame has not begun: whatever differs from the last
        // draw was done by closing and opening the window.
        if (CurrentObjects() != drawn.lastDrawn)
            worldFaults.push_back("the object list changed between the frame and turn " +
                                  std::to_string(turnsChecked + 2));
        if (world.lights.size() != 7 ||
            !std::equal(world.lights.begin(), world.lights.end(), world.objects.begin(),
                        [](const ExplosionLight *light, const auto &object) {
                            return light == object.get();
                        }))
            worldFaults.push_back("the seven lights are not the first seven objects at turn " +
                                  std::to_string(turnsChecked + 2));
        ++turnsChecked;
    };

    // The first turn brings the watch in before its frame; then each F1 is
    // seen in a turn that first plays a 16 ms frame.
    ScriptIdle(16);
    for (int i = 0; i < switches; ++i) {
        ScriptKey(VK_F1, true);
        ScriptIdle(16);
        ScriptKey(VK_F1, false);
    }
    ScriptIdle(16);
    ScriptKey(VK_ESCAPE, true);
    ScriptIdle(16);

    CaptureLog();
    EXPECT_EQ(RunGame(), 0) << "Escape after the churn is a normal end";
    const auto log = LogLines();

    ASSERT_TRUE(watching);
    // A look in every turn after the first, so after every F1; a frame in
    // every turn but Escape's.
    EXPECT_EQ(turnsChecked, switches + 2);
    EXPECT_EQ(worldFaults, std::vector<std::string>{});
    EXPECT_EQ(drawn.draws, switches + 2) << "every window drew its frames";
    EXPECT_TRUE(drawn.fontPresent) << "every context drew with a font of its own";
    EXPECT_TRUE(ScriptedCalls("script exhausted").empty());

    // Full screen and a window by turns, the last one full screen again.
    const auto windows = ScriptedCalls("CreateWindow");
    ASSERT_EQ(windows.size(), static_cast<size_t>(switches + 1));
    for (size_t i = 0; i < windows.size(); ++i)
        EXPECT_NE(windows[i].find(i % 2 == 0 ? "fullscreen" : "windowed"), std::string::npos)
            << "window " << i << ": " << windows[i];
    EXPECT_EQ(ScriptedCalls("BuildBitmapLists").size(), static_cast<size_t>(switches + 1));
    EXPECT_EQ(std::count(log.begin(), log.end(), "SetVSyncState(false)"), switches + 1)
        << "each window's set-up switches the swap interval off";
    EXPECT_TRUE(scripted.boxes.empty()) << "no release failed";
    EXPECT_EQ(UnbalancedResources(), std::vector<std::string>{});

    // The font's 256 lists go with each window, while its context is still
    // current: all of them there just before, none after.
    ASSERT_EQ(deletedLists.size(), static_cast<size_t>(switches + 1));
    for (size_t i = 0; i < deletedLists.size(); ++i) {
        EXPECT_EQ(deletedLists[i].range, 256) << "close " << i;
        EXPECT_EQ(deletedLists[i].listsBefore, 256) << "close " << i << ": not the font's context";
        EXPECT_EQ(deletedLists[i].listsAfter, 0) << "close " << i;
    }

    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log.back(), "Program terminated.");
    EXPECT_EQ(log[log.size() - 3], "Frames: " + std::to_string(switches + 2));
    EXPECT_TRUE(world.objects.empty()) << "the world is cleared at the end";
}

} // namespace
