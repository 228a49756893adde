#include "platform/key_messages.h"

#include "platform/messages.h"
#include "system/virtual_keys.h"

KeyMessage KeyMessageFor(KeyPress &press, uint32_t vk, bool down, bool repeat, bool altHeld,
                         bool ctrlHeld)
{
    const bool systemNow = (altHeld && !ctrlHeld) || vk == VK_F10;
    intptr_t lParam = 1;
    if (altHeld)
        lParam |= intptr_t(1) << 29;
    if (!down || repeat)
        lParam |= intptr_t(1) << 30;
    if (!down)
        lParam |= intptr_t(1) << 31;

    if (down) {
        // An auto-repeat keeps the way of the first press
        if (!repeat || press == KeyPress::None)
            press = systemNow ? KeyPress::System : KeyPress::Game;
        return {press == KeyPress::System ? WM_SYSKEYDOWN : WM_KEYDOWN, lParam};
    }
    const bool system = press == KeyPress::None ? systemNow : press == KeyPress::System;
    press = KeyPress::None;
    return {system ? WM_SYSKEYUP : WM_KEYUP, lParam};
}
