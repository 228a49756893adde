#include <initializer_list>
#include <string>
#include <vector>

#include "platform/gamepad_map.h"
#include "platform/messages.h"
#include "platform/scripted/scripted.h"
#include "platform/video.h"
#include "system/virtual_keys.h"
#include "shell/game_loop.h"
#include "system/key_state.h"
#include "shell/window.h"
#include "shell_test.h"
#include "world/world.h"

// Gamepads on the scripted backend: pad events go through the same mapping
// and merging as in the SDL backend and reach the real window procedure as
// key messages, so these tests read what the game reads, KeyState.

class Gamepad : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        ASSERT_NE(Vid_RegisterClass(GameWindowProc), nullptr);
    }

    // Hands the window procedure every message up to the next idle turn.
    void Pump()
    {
        ScriptIdle();
        Message message;
        while (Sys_PeekMessage(message))
            Sys_DispatchMessage(message);
    }

    // The keys KeyState has down, as text for readable failures.
    static std::string KeysDown()
    {
        std::string text;
        for (unsigned key = 0; key < 256; ++key)
            if (KeyState[key])
                text += (text.empty() ? "" : " ") + std::to_string(key);
        return text;
    }
};

static std::string Keys(std::initializer_list<unsigned> keys)
{
    std::string text;
    for (unsigned key : keys)
        text += (text.empty() ? "" : " ") + std::to_string(key);
    return text;
}

TEST_F(Gamepad, EachButtonHoldsItsGameKeyWhileDown)
{
    const struct {
        PadButton button;
        unsigned  key; // 0: the button does nothing
    } mapping[] = {
        {PadButton::South, VK_SPACE},         {PadButton::East, VK_DOWN},
        {PadButton::West, 'Z'},               {PadButton::LeftShoulder, 'Z'},
        {PadButton::RightShoulder, 'Z'},      {PadButton::Back, VK_ESCAPE},
        {PadButton::DpadUp, VK_UP},           {PadButton::DpadDown, VK_DOWN},
        {PadButton::DpadLeft, VK_LEFT},       {PadButton::DpadRight, VK_RIGHT},
        {PadButton::North, 0},                {PadButton::Start, 0},
        {PadButton::Guide, 0},                {PadButton::LeftStick, 0},
        {PadButton::RightStick, 0},
    };
    for (const auto &entry : mapping) {
        const int button = static_cast<int>(entry.button);
        ScriptPadButton(0, entry.button, true);
        Pump();
        EXPECT_EQ(KeysDown(), entry.key ? Keys({entry.key}) : "") << "button " << button << " held";
        ScriptPadButton(0, entry.button, false);
        Pump();
        EXPECT_EQ(KeysDown(), "") << "button " << button << " released";
    }
}

TEST_F(Gamepad, StickPressesArrowsOutsideTheDeadZoneAndLetsGoInsideHysteresis)
{
    // Exactly at the edge of the dead zone is still inside it
    ScriptPadStick(0, -padStickPress, padStickPress);
    Pump();
    EXPECT_EQ(KeysDown(), "");
    ScriptPadStick(0, -padStickPress - 1, 0);
    Pump();
    EXPECT_EQ(KeysDown(), Keys({VK_LEFT}));
    // Back towards the centre, past the pressing edge but not the releasing one
    ScriptPadStick(0, -padStickRelease - 1, 0);
    Pump();
    EXPECT_EQ(KeysDown(), Keys({VK_LEFT})) << "the turn must not flicker near the dead zone";
    ScriptPadStick(0, -padStickRelease, 0);
    Pump();
    EXPECT_EQ(KeysDown(), "");
    // Once released, the pressing edge applies again
    ScriptPadStick(0, -padStickRelease - 1, 0);
    Pump();
    EXPECT_EQ(KeysDown(), "");

    // Full deflections, SDL's extremes included; y grows downwards
    ScriptPadStick(0, 32767, -32768);
    Pump();
    EXPECT_EQ(KeysDown(), Keys({VK_UP, VK_RIGHT}));
    // Swung straight across: one reading lets go of one side and takes the other
    ScriptPadStick(0, -32768, 32767);
    Pump();
    EXPECT_EQ(KeysDown(), Keys({VK_LEFT, VK_DOWN}));
    ScriptPadStick(0, 0, 0);
    Pump();
    EXPECT_EQ(KeysDown(), "");
}

TEST_F(Gamepad, KeyStaysDownWhileTheKeyboardOrAPadHoldsIt)
{
    // Keyboard first, pad pressed and released in the middle
    ScriptKey(VK_SPACE, true);
    ScriptPadButton(0, PadButton::South, true);
    ScriptPadButton(0, PadButton::South, false);
    Pump();
    EXPECT_EQ(KeyState[VK_SPACE], 1) << "the keyboard still holds Space";
    ScriptKey(VK_SPACE, false);
    Pump();
    EXPECT_EQ(KeyState[VK_SPACE], 0);

    // Pad first, the keyboard pressed and released in the middle
    ScriptPadButton(0, PadButton::DpadUp, true);
    ScriptKey(VK_UP, true);
    ScriptKey(VK_UP, false);
    Pump();
    EXPECT_EQ(KeyState[VK_UP], 1) << "the pad still holds Up";
    ScriptPadButton(0, PadButton::DpadUp, false);
    Pump();
    EXPECT_EQ(KeyState[VK_UP], 0);

    // Two holders on one pad (D-pad and stick), and a second pad
    ScriptPadButton(0, PadButton::DpadLeft, true);
    ScriptPadStick(0, -20000, 0);
    ScriptPadButton(1, PadButton::West, true);
    ScriptPadButton(0, PadButton::LeftShoulder, true);
    ScriptPadButton(0, PadButton::DpadLeft, false);
    ScriptPadButton(1, PadButton::West, false);
    Pump();
    EXPECT_EQ(KeysDown(), Keys({VK_LEFT, 'Z'})) << "the stick holds Left, the shoulder Z";
    ScriptPadStick(0, 0, 0);
    ScriptPadButton(0, PadButton::LeftShoulder, false);
    Pump();
    EXPECT_EQ(KeysDown(), "");
}

TEST_F(Gamepad, OnlyTheLastHolderLettingGoSendsAKeyUp)
{
    // What the window procedure receives, not only what it makes of it
    std::vector<Message> messages;
    ScriptKey('Z', true);
    ScriptPadButton(0, PadButton::West, true);
    ScriptPadButton(0, PadButton::RightShoulder, true);
    ScriptKey('Z', false);
    ScriptPadButton(0, PadButton::West, false);
    ScriptPadButton(0, PadButton::RightShoulder, false);
    // The script runs out after the last step and then closes the window
    Message message;
    while (Sys_PeekMessage(message) && message.message != WM_CLOSE)
        messages.push_back(message);
    ASSERT_EQ(messages.size(), 2u) << "one key-down, one key-up";
    EXPECT_EQ(messages[0].message, uint32_t(WM_KEYDOWN));
    EXPECT_EQ(messages[1].message, uint32_t(WM_KEYUP));
    EXPECT_EQ(messages[1].wParam, uintptr_t('Z'));
}

TEST_F(Gamepad, UnpluggedPadLetsGoOfWhatOnlyItHeld)
{
    ScriptKey(VK_UP, true);
    ScriptPadStick(0, 0, -30000);
    ScriptPadButton(0, PadButton::South, true);
    ScriptPadButton(0, PadButton::RightShoulder, true);
    Pump();
    EXPECT_EQ(KeysDown(), Keys({VK_SPACE, VK_UP, 'Z'}));
    ScriptPadRemoved(0);
    Pump();
    EXPECT_EQ(KeysDown(), Keys({VK_UP})) << "the keyboard still holds Up";

    // A pad plugged into the same slot starts from nothing held
    ScriptPadButton(0, PadButton::East, true);
    Pump();
    EXPECT_EQ(KeysDown(), Keys({VK_UP, VK_DOWN}));
}

TEST_F(Gamepad, ThePadPlaysTheGameAndBackEndsIt)
{
    // Bullets alive at each idle turn, that is after the frame before it
    std::vector<int> bullets;
    scripted.onIdle = [&bullets] { bullets.push_back(world.bulletCount); };
    ScriptIdle(16);
    ScriptPadButton(0, PadButton::South, true);
    ScriptIdle(16, 2); // held: one shot, no repeat
    ScriptPadButton(0, PadButton::South, false);
    ScriptIdle(16);
    ScriptPadButton(0, PadButton::South, true);
    ScriptIdle(16);
    ScriptPadButton(0, PadButton::Back, true);
    ScriptIdle(16);
    ScriptIdle(16);

    CaptureLog();
    EXPECT_EQ(RunGame(), 0);
    const std::vector<std::string> log = LogLines();
    EXPECT_EQ(bullets, (std::vector<int>{0, 0, 1, 1, 1, 2}))
        << "a press fires once, a second press fires again; Back stops the frames";
    EXPECT_TRUE(ScriptedCalls("script exhausted").empty()) << "Back must end the game as Escape";
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Program terminated.");
}
