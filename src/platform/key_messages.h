#pragma once

#include <cstdint>

// How Windows makes key messages of a keyboard's presses, for the backends
// whose system does not: Alt held without Ctrl makes a system key
// (Ctrl+Alt is AltGr, which types characters), F10 always is one, and a
// key's release and auto-repeats go out the way its first press did, so a
// key pressed without Alt and released with Alt held still clears its
// KeyState entry.

// How a key's last press went out.
enum class PressKind : unsigned char { Up, Game, System };

struct KeyMessage {
    uint32_t message;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP
    intptr_t lParam;   // repeat count 1, bit 29 Alt held, bit 30 was down, bit 31 released
};

// The message for a press (down) or release of virtual key vk, whose last
// press is recorded in press (one per key, Up while up).
KeyMessage KeyMessageFor(PressKind &press, uint32_t vk, bool down, bool repeat, bool altHeld,
                         bool ctrlHeld);
