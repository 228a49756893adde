#pragma once

#include <cstdint>

// The SDL keyboard's keys as Windows virtual-key codes (keys_sdl.cpp), for
// the key messages messages_sdl.cpp makes. Only SDL's numbers pass here, so
// the header needs no SDL.

// The Windows virtual-key code for an SDL key event, from its scancode
// (SDL_Scancode) and keycode (SDL_Keycode); 0 for a key that has none.
// Letters and punctuation follow the keyboard layout, as Windows layouts
// do: they come from the keycode. Everything else, the digit row included
// (French layouts still send '1'..'0' there), comes from the key's place,
// the scancode. Left and right modifiers both give VK_SHIFT, VK_CONTROL
// and VK_MENU, as in the key messages of Windows. With NumLock off the
// keypad's digits and point are the navigation keys printed on them
// (8 is VK_UP, 4 VK_LEFT, 0 VK_INSERT, . VK_DELETE ...), as on Windows.
uint32_t VirtualKeyFromSdl(int scancode, int keycode, bool numLock = true);
