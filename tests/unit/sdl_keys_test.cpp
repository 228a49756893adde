#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/sdl/keys_sdl.h"
#include "system/virtual_keys.h"

// A key as a US layout reports it: its character for letters and
// punctuation, otherwise the keycode SDL derives from the place.
static uint32_t UsKey(SDL_Scancode scancode, SDL_Keycode character = 0)
{
    return VirtualKeyFromSdl(scancode, character ? character : SDL_SCANCODE_TO_KEYCODE(scancode));
}

TEST(KeyTranslation, KeysOfAUsKeyboardHaveTheirWindowsCodes)
{
    const struct {
        SDL_Scancode scancode;
        SDL_Keycode  character;
        uint32_t     vk;
    } keys[] = {
        // What the game reads: Escape, F1..F3, Space, arrows, shield letters
        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0x1B}, {SDL_SCANCODE_F1, 0, 0x70},
        {SDL_SCANCODE_F2, 0, 0x71}, {SDL_SCANCODE_F3, 0, 0x72},
        {SDL_SCANCODE_SPACE, SDLK_SPACE, 0x20}, {SDL_SCANCODE_LEFT, 0, 0x25},
        {SDL_SCANCODE_UP, 0, 0x26}, {SDL_SCANCODE_RIGHT, 0, 0x27}, {SDL_SCANCODE_DOWN, 0, 0x28},
        {SDL_SCANCODE_Z, SDLK_z, 0x5A}, {SDL_SCANCODE_X, SDLK_x, 0x58},
        {SDL_SCANCODE_C, SDLK_c, 0x43}, {SDL_SCANCODE_V, SDLK_v, 0x56},
        {SDL_SCANCODE_B, SDLK_b, 0x42}, {SDL_SCANCODE_N, SDLK_n, 0x4E},
        {SDL_SCANCODE_M, SDLK_m, 0x4D},
        // Rows SDL orders 1..9 then 0, and the ends of the F-key blocks
        {SDL_SCANCODE_1, SDLK_1, '1'}, {SDL_SCANCODE_0, SDLK_0, '0'},
        {SDL_SCANCODE_KP_1, 0, VK_NUMPAD1}, {SDL_SCANCODE_KP_0, 0, VK_NUMPAD0},
        {SDL_SCANCODE_F12, 0, 0x7B}, {SDL_SCANCODE_F13, 0, 0x7C}, {SDL_SCANCODE_F24, 0, 0x87},
        {SDL_SCANCODE_KP_ENTER, 0, VK_RETURN}, {SDL_SCANCODE_PAGEUP, 0, VK_PRIOR},
        {SDL_SCANCODE_SEMICOLON, SDLK_SEMICOLON, VK_OEM_1},
        {SDL_SCANCODE_APOSTROPHE, SDLK_QUOTE, VK_OEM_7},
        // Both sides of a modifier give the unsided code; the Windows keys
        // are sided in Windows' key messages too
        {SDL_SCANCODE_LSHIFT, 0, VK_SHIFT}, {SDL_SCANCODE_RSHIFT, 0, VK_SHIFT},
        {SDL_SCANCODE_LCTRL, 0, VK_CONTROL}, {SDL_SCANCODE_RCTRL, 0, VK_CONTROL},
        {SDL_SCANCODE_LALT, 0, VK_MENU}, {SDL_SCANCODE_RALT, 0, VK_MENU},
        {SDL_SCANCODE_LGUI, 0, VK_LWIN}, {SDL_SCANCODE_RGUI, 0, VK_RWIN},
    };
    for (const auto &key : keys)
        EXPECT_EQ(UsKey(key.scancode, key.character), key.vk) << SDL_GetScancodeName(key.scancode);
}

TEST(KeyTranslation, LettersFollowTheLayoutButTheDigitRowDoesNot)
{
    // French AZERTY: A and Q swapped, M beside L, the digit row types
    // symbols unshifted
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_Q, 'a'), uint32_t('A'));
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_SEMICOLON, 'm'), uint32_t('M'));
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_M, ','), uint32_t(VK_OEM_COMMA));
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_1, '&'), uint32_t('1'));
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_6, '-'), uint32_t('6'))
        << "the digit row must not turn into punctuation where the layout types it";
    // Dvorak: punctuation where QWERTY has Q
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_Q, '\''), uint32_t(VK_OEM_7));
    // Russian and German: a character with no code keeps its place's code
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_F, 0x0430), uint32_t('F'));
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_MINUS, 0xDF), uint32_t(VK_OEM_MINUS));
}

TEST(KeyTranslation, EveryKeyOfAFullKeyboardHasACodeThatFitsKeyState)
{
    // A to the menu key covers the letters, digits, editing, function,
    // navigation, keypad and punctuation keys of a 105-key keyboard; the
    // modifiers follow at LCTRL..RGUI.
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
        const auto key = static_cast<SDL_Scancode>(scancode);
        const uint32_t vk = UsKey(key);
        EXPECT_LT(vk, 256u) << "scancode " << scancode;
        const bool onFullKeyboard =
            (key >= SDL_SCANCODE_A && key <= SDL_SCANCODE_APPLICATION) ||
            (key >= SDL_SCANCODE_LCTRL && key <= SDL_SCANCODE_RGUI);
        if (onFullKeyboard) {
            EXPECT_NE(vk, 0u) << SDL_GetScancodeName(key);
        }
    }
}
