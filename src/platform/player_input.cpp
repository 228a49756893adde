#include "platform/player_input.h"

static constexpr uint32_t keyboardBit = 1;

static uint32_t PadBit(int pad)
{
    return uint32_t(2) << pad;
}

static bool ValidPad(int pad)
{
    return pad >= 0 && pad < maxPads;
}

// lParam as Windows fills it for a first press (repeat count 1) and for a
// release (bits 30 and 31: it was down, it goes up).
static constexpr intptr_t pressParam = 1;
static constexpr intptr_t releaseParam = 1 | (intptr_t(1) << 30) | (intptr_t(1) << 31);

void Input_Keyboard(PlayerInput &input, const Message &key, std::vector<Message> &out)
{
    // Codes past the table reach the window procedure, which ignores them
    if (key.wParam >= 256 || (key.message != WM_KEYDOWN && key.message != WM_KEYUP)) {
        out.push_back(key);
        return;
    }
    uint32_t &holders = input.holders[key.wParam];
    if (key.message == WM_KEYDOWN) {
        // A key already down stays down, and the frame loop counts each
        // auto-repeat of F1, so every key-down goes out.
        holders |= keyboardBit;
        out.push_back(key);
        return;
    }
    holders &= ~keyboardBit;
    if (holders == 0)
        out.push_back(key);
}

// Hands the keys a pad lets go and those it takes to the holders' table;
// releases first, so that a stick swung from left to right never holds
// both turns at once.
static void ChangeKeys(PlayerInput &input, int pad, const KeySet &before, const KeySet &after,
                       std::vector<Message> &out)
{
    const uint32_t bit = PadBit(pad);
    const KeySet released = before & ~after;
    const KeySet pressed = after & ~before;
    for (unsigned key = 0; key < 256; ++key) {
        if (!released[key])
            continue;
        input.holders[key] &= ~bit;
        if (input.holders[key] == 0)
            out.push_back(Message{WM_KEYUP, key, releaseParam});
    }
    for (unsigned key = 0; key < 256; ++key) {
        if (!pressed[key])
            continue;
        if (input.holders[key] == 0)
            out.push_back(Message{WM_KEYDOWN, key, pressParam});
        input.holders[key] |= bit;
    }
}

void Input_Pad(PlayerInput &input, int pad, uint32_t buttons, int stickX, int stickY,
               std::vector<Message> &out)
{
    if (!ValidPad(pad))
        return;
    PadState &state = input.pads[pad];
    const KeySet before = PadKeys(state.buttons, state.stickHeld);
    state.buttons = buttons;
    state.stickX = stickX;
    state.stickY = stickY;
    state.stickHeld = PadStickDirections(stickX, stickY, state.stickHeld);
    ChangeKeys(input, pad, before, PadKeys(state.buttons, state.stickHeld), out);
}

void Input_PadButton(PlayerInput &input, int pad, PadButton button, bool down,
                     std::vector<Message> &out)
{
    if (!ValidPad(pad))
        return;
    const PadState &state = input.pads[pad];
    const uint32_t buttons =
        down ? state.buttons | PadButtonBit(button) : state.buttons & ~PadButtonBit(button);
    Input_Pad(input, pad, buttons, state.stickX, state.stickY, out);
}

void Input_PadGone(PlayerInput &input, int pad, std::vector<Message> &out)
{
    if (!ValidPad(pad))
        return;
    const PadState &state = input.pads[pad];
    ChangeKeys(input, pad, PadKeys(state.buttons, state.stickHeld), KeySet{}, out);
    input.pads[pad] = PadState{};
}
