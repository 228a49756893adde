#include "platform/gamepad_map.h"

#include "system/shield_keys.h"
#include "system/virtual_keys.h"

// The pad's shield buttons hold the first of the shield keys.
static constexpr unsigned shieldKey = shieldKeys[0];

// The key each button holds; 0 for buttons the game has no use for.
static constexpr unsigned buttonKeys[static_cast<unsigned>(PadButton::Count)] = {
    VK_SPACE,  // South fires
    VK_DOWN,   // East jumps into hyperspace
    shieldKey, // West
    0,         // North
    VK_ESCAPE, // Back ends the game, as Escape does
    0,         // Guide belongs to the system
    0,         // Start
    0, 0,      // stick clicks
    shieldKey, shieldKey, // shoulders
    VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT,
};

// One axis of the stick: bit negative or positive (or neither) held.
static unsigned AxisDirections(int value, unsigned heldBefore, unsigned negative,
                               unsigned positive)
{
    const int negativeLimit = (heldBefore & negative) ? -padStickRelease : -padStickPress;
    const int positiveLimit = (heldBefore & positive) ? padStickRelease : padStickPress;
    if (value < negativeLimit)
        return negative;
    if (value > positiveLimit)
        return positive;
    return 0;
}

unsigned PadStickDirections(int x, int y, unsigned heldBefore)
{
    return AxisDirections(x, heldBefore, StickLeft, StickRight) |
           AxisDirections(y, heldBefore, StickUp, StickDown);
}

KeySet PadKeys(uint32_t buttons, unsigned stickHeld)
{
    KeySet keys;
    for (unsigned button = 0; button < static_cast<unsigned>(PadButton::Count); ++button)
        if ((buttons & (uint32_t(1) << button)) && buttonKeys[button] != 0)
            keys.set(buttonKeys[button]);
    if (stickHeld & StickLeft)
        keys.set(VK_LEFT);
    if (stickHeld & StickRight)
        keys.set(VK_RIGHT);
    if (stickHeld & StickUp)
        keys.set(VK_UP);
    if (stickHeld & StickDown)
        keys.set(VK_DOWN);
    return keys;
}
