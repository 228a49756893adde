#pragma once

#include <bitset>
#include <cstdint>

// How a gamepad plays the game: its buttons and its left stick hold the
// same virtual keys as the keyboard. Nothing here knows SDL; each backend
// feeds in what its pads report.

// Buttons by their place on the pad, whatever is printed on them: South is
// A on an Xbox pad, Cross on a PlayStation one.
enum class PadButton : unsigned char {
    South, East, West, North,
    Back, Guide, Start,
    LeftStick, RightStick, LeftShoulder, RightShoulder,
    DpadUp, DpadDown, DpadLeft, DpadRight,
    Count
};

// The left stick in SDL's units, -32768 .. 32767 on each axis, y growing
// downwards. A direction presses its arrow key past padStickPress and lets
// go only back inside padStickRelease, so a stick resting near the edge of
// the dead zone cannot flicker the key.
constexpr int padStickPress = 8000;
constexpr int padStickRelease = 6000;

// Stick directions, one bit each.
enum : unsigned {
    StickLeft = 1, StickRight = 2, StickUp = 4, StickDown = 8,
};

// One flag per virtual-key code.
using KeySet = std::bitset<256>;

// What one pad reports and the stick directions it holds.
struct PadState {
    uint32_t buttons = 0;    // one bit per PadButton held
    int      stickX = 0;     // left stick, SDL units
    int      stickY = 0;
    unsigned stickHeld = 0;  // Stick* directions held after the last reading
};

// The stick directions held at (x, y), given those held before.
unsigned PadStickDirections(int x, int y, unsigned heldBefore);
// The virtual keys held by these buttons and stick directions.
KeySet   PadKeys(uint32_t buttons, unsigned stickHeld);
// The bit of a button in PadState::buttons.
constexpr uint32_t PadButtonBit(PadButton button)
{
    return uint32_t(1) << static_cast<unsigned>(button);
}
