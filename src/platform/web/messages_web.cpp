// Window messages as Windows sends them, made from the page's events.

#include "platform/messages.h"

#include <vector>

#include <emscripten/html5.h>

#include "platform/web/web_backend.h"
#include "system/virtual_keys.h"

// Windows' WM_ACTIVATE low word
enum : uintptr_t {
    WA_INACTIVE = 0,
    WA_ACTIVE = 1,
};

// A key of the keyboard. A game key goes through the player's input: a pad
// may hold the same key, and the key goes up only when neither holds it.
static void PostKey(uint32_t vk, const KeyMessage &key)
{
    if (key.message == WM_SYSKEYDOWN || key.message == WM_SYSKEYUP) {
        Web_Post(key.message, vk, key.lParam);
        return;
    }
    std::vector<Message> made;
    Input_Keyboard(webPlatform.player, Message{key.message, vk, key.lParam}, made);
    webPlatform.pending.insert(webPlatform.pending.end(), made.begin(), made.end());
}

// The browsers' keyCode is Windows' virtual-key code, except for three
// punctuation keys where Firefox has codes of its own.
static uint32_t VirtualKeyFromKeyCode(unsigned long keyCode)
{
    switch (keyCode) {
    case 59: return VK_OEM_1;
    case 61: return VK_OEM_PLUS;
    case 173: return VK_OEM_MINUS;
    default: return keyCode < 256 ? static_cast<uint32_t>(keyCode) : 0;
    }
}

// Keys whose browser action would get in the game's way: the arrows and
// Space scroll the page, F1 opens the browser's help.
static bool GameKeepsKey(uint32_t vk)
{
    return vk == VK_SPACE || (vk >= VK_LEFT && vk <= VK_DOWN) || (vk >= VK_F1 && vk <= VK_F3);
}

// Key messages as Windows makes them (platform/key_messages.h).
static EM_BOOL OnKey(int eventType, const EmscriptenKeyboardEvent *key, void *)
{
    const uint32_t vk = VirtualKeyFromKeyCode(key->keyCode);
    if (vk == 0)
        return EM_FALSE;
    PostKey(vk, KeyMessageFor(webPlatform.keyPresses[vk], vk, eventType == EMSCRIPTEN_EVENT_KEYDOWN,
                              key->repeat != 0, key->altKey != 0, key->ctrlKey != 0));
    return GameKeepsKey(vk) ? EM_TRUE : EM_FALSE;
}

// The page lost the keyboard: the browser sends no key-up for the keys
// still held, so they are let go here, or the ship would turn for ever.
static EM_BOOL OnBlur(int, const EmscriptenFocusEvent *, void *)
{
    for (uint32_t vk = 0; vk < 256; ++vk)
        if (webPlatform.keyPresses[vk] != PressKind::Up)
            PostKey(vk, KeyMessageFor(webPlatform.keyPresses[vk], vk, false, false, false, false));
    return EM_FALSE;
}

// A hidden page (another tab, a minimised browser) is a minimised window:
// the game stops until it is shown again.
static EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent *event, void *)
{
    if (event->hidden)
        Web_Post(WM_ACTIVATE, WA_INACTIVE | (uintptr_t(1) << 16), 0);
    else
        Web_Post(WM_ACTIVATE, WA_ACTIVE, 0);
    return EM_FALSE;
}

static EM_BOOL OnFullscreenChange(int, const EmscriptenFullscreenChangeEvent *event, void *)
{
    if (!event->isFullscreen)
        Web_FullscreenLeft();
    return EM_FALSE;
}

void Web_ListenToPage()
{
    const char *window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, true,
                                             OnFullscreenChange);
    emscripten_set_keydown_callback(window, nullptr, true, OnKey);
    emscripten_set_keyup_callback(window, nullptr, true, OnKey);
    emscripten_set_blur_callback(window, nullptr, true, OnBlur);
    emscripten_set_visibilitychange_callback(nullptr, true, OnVisibility);
}

void Web_StopListening()
{
    const char *window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_fullscreenchange_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, true,
                                             nullptr);
    emscripten_set_keydown_callback(window, nullptr, true, nullptr);
    emscripten_set_keyup_callback(window, nullptr, true, nullptr);
    emscripten_set_blur_callback(window, nullptr, true, nullptr);
    emscripten_set_visibilitychange_callback(nullptr, true, nullptr);
}

bool Sys_PeekMessage(Message &message)
{
    // The loop turns without showing a frame while the page is hidden or
    // the game is ending: every second dry turn in a row gives the browser
    // its turn, or the page would hang in the loop.
    if (webPlatform.pending.empty() && !webPlatform.quitPosted) {
        if (webPlatform.turnedSinceShown)
            Web_WaitForNextFrame(false);
        webPlatform.turnedSinceShown = true;
    }
    if (!webPlatform.pending.empty()) {
        message = webPlatform.pending.front();
        webPlatform.pending.pop_front();
        return true;
    }
    if (webPlatform.quitPosted) {
        webPlatform.quitPosted = false;
        message = Message{WM_QUIT, static_cast<uintptr_t>(webPlatform.quitCode), 0};
        return true;
    }
    return false;
}

void Sys_DispatchMessage(const Message &message)
{
    if (webPlatform.procedure)
        webPlatform.procedure(message.message, message.wParam, message.lParam);
}

void Sys_PostQuitMessage(int exitCode)
{
    webPlatform.quitPosted = true;
    webPlatform.quitCode = exitCode;
}

intptr_t Sys_DefaultWindowProc(uint32_t, uintptr_t, intptr_t)
{
    return 0;
}
