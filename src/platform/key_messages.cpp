#include "platform/key_messages.h"

#include "platform/messages.h"
#include "system/virtual_keys.h"

KeyMessage KeyMessageFor(PressKind &press, uint32_t vk, bool down, bool repeat, bool altHeld,
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
        if (!repeat || press == PressKind::Up)
            press = systemNow ? PressKind::System : PressKind::Game;
        return {press == PressKind::System ? WM_SYSKEYDOWN : WM_KEYDOWN, lParam};
    }
    const bool system = press == PressKind::Up ? systemNow : press == PressKind::System;
    press = PressKind::Up;
    return {system ? WM_SYSKEYUP : WM_KEYUP, lParam};
}
