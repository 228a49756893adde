#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/messages.h"
#include "platform/sdl/gamepad_sdl.h"
#include "platform/sdl/sdl_state.h"
#include "system/virtual_keys.h"

// The SDL gamepad glue with a virtual pad from SDL's own virtual-joystick
// driver: SDL makes the device-added, button and axis events as for a real
// pad, and they must come out of Sys_PeekMessage as key messages.

using PadKey = std::pair<uint32_t, uintptr_t>; // message, virtual key

class SdlGamepad : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        // Offscreen windows never get the keyboard focus, and SDL drops pad
        // presses for an unfocused program
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        ASSERT_TRUE(Pad_Start()) << SDL_GetError();
        TakeKeyMessages();
        // Keys that other tests left down on the keyboard would already
        // hold what the pad presses
        sdl.player = PlayerInput{};
    }
    void TearDown() override
    {
        if (joystick)
            SDL_JoystickClose(joystick);
        while (SDL_NumJoysticks() > 0 && SDL_JoystickDetachVirtual(0) == 0) {
        }
        TakeKeyMessages();
        std::vector<Message> letGo;
        Pad_Stop(letGo);
        SDL_ResetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS);
    }

    // Plugs in a virtual pad with every button and axis SDL names, and
    // keeps a handle of the test's own to move it with.
    void PlugIn()
    {
        const int device = SDL_JoystickAttachVirtual(
            SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
        ASSERT_GE(device, 0) << SDL_GetError();
        ASSERT_TRUE(SDL_IsGameController(device)) << "a virtual pad has a controller mapping";
        joystick = SDL_JoystickOpen(device);
        ASSERT_NE(joystick, nullptr) << SDL_GetError();
    }
    // The virtual pad's buttons and axes are numbered as SDL's controller ones
    void Button(SDL_GameControllerButton button, bool down)
    {
        ASSERT_EQ(SDL_JoystickSetVirtualButton(joystick, button, down ? 1 : 0), 0);
    }
    void Axis(SDL_GameControllerAxis axis, int value)
    {
        ASSERT_EQ(SDL_JoystickSetVirtualAxis(joystick, axis, static_cast<Sint16>(value)), 0);
    }
    void PushKey(Uint32 type)
    {
        SDL_Event event{};
        event.type = type;
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.scancode = SDL_SCANCODE_SPACE;
        event.key.keysym.sym = SDLK_SPACE;
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    // The key messages pending now; taking them pumps SDL, which reads the
    // virtual pad.
    static std::vector<PadKey> TakeKeyMessages()
    {
        std::vector<PadKey> keys;
        Message message;
        while (Sys_PeekMessage(message))
            if (message.message == WM_KEYDOWN || message.message == WM_KEYUP)
                keys.emplace_back(message.message, message.wParam);
        return keys;
    }

    SDL_Joystick *joystick = nullptr;
};

static PadKey Down(uintptr_t key)
{
    return {WM_KEYDOWN, key};
}

static PadKey Up(uintptr_t key)
{
    return {WM_KEYUP, key};
}

TEST_F(SdlGamepad, PlugInButtonsAndStickArriveAsKeyMessages)
{
    PlugIn();
    EXPECT_TRUE(TakeKeyMessages().empty()) << "a pad at rest holds nothing";

    Button(SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_EQ(TakeKeyMessages(), std::vector<PadKey>{Down(VK_SPACE)});
    Axis(SDL_CONTROLLER_AXIS_LEFTX, -20000);
    Button(SDL_CONTROLLER_BUTTON_B, true);
    Button(SDL_CONTROLLER_BUTTON_BACK, true);
    Button(SDL_CONTROLLER_BUTTON_LEFTSHOULDER, true);
    std::vector<PadKey> keys = TakeKeyMessages();
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<PadKey>{Down(VK_ESCAPE), Down(VK_LEFT), Down(VK_DOWN),
                                             Down('Z')}));

    // The right stick and the triggers are not played
    Axis(SDL_CONTROLLER_AXIS_RIGHTX, 30000);
    Axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 30000);
    EXPECT_TRUE(TakeKeyMessages().empty());

    Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
    Button(SDL_CONTROLLER_BUTTON_A, false);
    keys = TakeKeyMessages();
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<PadKey>{Up(VK_SPACE), Up(VK_LEFT)}));
}

TEST_F(SdlGamepad, SpaceHeldOnTheKeyboardOutlastsThePadsPress)
{
    PlugIn();
    TakeKeyMessages();
    PushKey(SDL_KEYDOWN);
    EXPECT_EQ(TakeKeyMessages(), std::vector<PadKey>{Down(VK_SPACE)});
    Button(SDL_CONTROLLER_BUTTON_A, true);
    TakeKeyMessages();
    Button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_EQ(TakeKeyMessages(), std::vector<PadKey>{})
        << "the keyboard still holds Space: no key-up";
    PushKey(SDL_KEYUP);
    EXPECT_EQ(TakeKeyMessages(), std::vector<PadKey>{Up(VK_SPACE)});
}

TEST_F(SdlGamepad, RemovedPadLetsGoAndIsForgotten)
{
    PlugIn();
    TakeKeyMessages();
    Button(SDL_CONTROLLER_BUTTON_A, true);
    Axis(SDL_CONTROLLER_AXIS_LEFTY, -32768);
    TakeKeyMessages();

    // A removal on its own, without the recentring SDL sends for its own
    // virtual pads
    SDL_Event removed{};
    removed.type = SDL_CONTROLLERDEVICEREMOVED;
    removed.cdevice.which = SDL_JoystickInstanceID(joystick);
    ASSERT_EQ(SDL_PushEvent(&removed), 1);
    std::vector<PadKey> keys = TakeKeyMessages();
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<PadKey>{Up(VK_SPACE), Up(VK_UP)}));

    Button(SDL_CONTROLLER_BUTTON_B, true);
    EXPECT_TRUE(TakeKeyMessages().empty()) << "a removed pad is closed";
}

TEST_F(SdlGamepad, PadPluggedInWithAButtonHeldCountsAtOnce)
{
    // The button goes down before the glue has opened the pad
    PlugIn();
    Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    SDL_JoystickUpdate();
    EXPECT_EQ(TakeKeyMessages(), std::vector<PadKey>{Down(VK_RIGHT)});
    Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    EXPECT_EQ(TakeKeyMessages(), std::vector<PadKey>{Up(VK_RIGHT)});
}
