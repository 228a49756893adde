#pragma once

#include <cstdint>
#include <vector>

#include "platform/gamepad_map.h"
#include "platform/messages.h"

// The keyboard and every gamepad play as one player: a key is down while
// any of them holds it. Every game key message passes through here on its
// way to the window procedure, so KeyState stays the one record of what is
// held. Each call appends the messages to send, in order, to out.

// Pads beyond this many are not opened.
constexpr int maxPads = 16;

struct PlayerInput {
    uint32_t holders[256] = {}; // per virtual key: bit 0 the keyboard, bit 1 + n pad n
    PadState pads[maxPads];     // each pad's last reading
};

// A WM_KEYDOWN or WM_KEYUP from the keyboard. Key-downs go out as they
// came, auto-repeats included; a key-up only when no pad holds the key.
void Input_Keyboard(PlayerInput &input, const Message &key, std::vector<Message> &out);
// A pad's new reading: key-downs for the keys nobody held before, key-ups
// for those it let go and nobody else holds.
void Input_Pad(PlayerInput &input, int pad, uint32_t buttons, int stickX, int stickY,
               std::vector<Message> &out);
// One button of a pad pressed or released.
void Input_PadButton(PlayerInput &input, int pad, PadButton button, bool down,
                     std::vector<Message> &out);
// A pad unplugged or closed: it lets go of everything it held.
void Input_PadGone(PlayerInput &input, int pad, std::vector<Message> &out);
