// Gamepads through the browser's Gamepad API: each pad's buttons and left
// stick become the key messages the keyboard would send.

#include <cmath>
#include <cstring>
#include <vector>

#include <emscripten/html5.h>

#include "platform/web/web_backend.h"

// The buttons of the browser's "standard" layout, by their index there.
// The triggers (6, 7) play no part, as on the other systems.
static const PadButton standardButtons[17] = {
    PadButton::South,     PadButton::East,        PadButton::West,
    PadButton::North,     PadButton::LeftShoulder, PadButton::RightShoulder,
    PadButton::Count,     PadButton::Count,        PadButton::Back,
    PadButton::Start,     PadButton::LeftStick,    PadButton::RightStick,
    PadButton::DpadUp,    PadButton::DpadDown,     PadButton::DpadLeft,
    PadButton::DpadRight, PadButton::Guide,
};

// The stick's -1..1 in SDL's units, which the pad mapping's thresholds
// are given in.
static int StickUnits(double axis)
{
    const double scaled = std::round(axis * 32767.0);
    return static_cast<int>(scaled < -32768.0 ? -32768.0 : scaled > 32767.0 ? 32767.0 : scaled);
}

void Web_PollPads()
{
    // No Gamepad API (node, an old browser), or no pad was ever touched:
    // the browser shows pads only after a button of theirs was pressed.
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS)
        return;
    const int count = emscripten_get_num_gamepads();
    std::vector<Message> made;
    for (int pad = 0; pad < maxPads; ++pad) {
        EmscriptenGamepadEvent state;
        const bool there = pad < count &&
                           emscripten_get_gamepad_status(pad, &state) == EMSCRIPTEN_RESULT_SUCCESS &&
                           state.connected;
        // A pad with a layout of its own has no known buttons: it plays
        // no part rather than pressing keys at random.
        if (!there || std::strcmp(state.mapping, "standard") != 0) {
            if (webPlatform.player.pads[pad].buttons != 0 || webPlatform.player.pads[pad].stickHeld != 0)
                Input_PadGone(webPlatform.player, pad, made);
            continue;
        }
        uint32_t buttons = 0;
        for (int index = 0; index < 17 && index < state.numButtons; ++index)
            if (standardButtons[index] != PadButton::Count && state.digitalButton[index])
                buttons |= PadButtonBit(standardButtons[index]);
        const int stickX = state.numAxes > 0 ? StickUnits(state.axis[0]) : 0;
        const int stickY = state.numAxes > 1 ? StickUnits(state.axis[1]) : 0;
        Input_Pad(webPlatform.player, pad, buttons, stickX, stickY, made);
    }
    webPlatform.pending.insert(webPlatform.pending.end(), made.begin(), made.end());
}
