// Window messages as Windows sends them, made from SDL's events.

#include "platform/messages.h"

#include <vector>

#include <SDL.h>

#include "platform/key_messages.h"
#include "platform/process/one_game.h"
#include "platform/process/process_hooks.h"
#include "platform/sdl/gamepad_sdl.h"
#include "platform/sdl/gl_window_sdl.h"
#include "platform/sdl/keys_sdl.h"
#include "platform/sdl/sdl_state.h"
#include "platform/sdl/video_log_sdl.h"
#include "platform/sdl/wayland/keyboard_wayland.h"
#include "system/virtual_keys.h"

// Windows' WM_ACTIVATE low word
enum : uintptr_t {
    WA_INACTIVE = 0,
    WA_ACTIVE = 1,
};

static void Post(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    sdl.messages.pending.push_back(Message{message, wParam, lParam});
}

static void PostAll(const std::vector<Message> &made)
{
    sdl.messages.pending.insert(sdl.messages.pending.end(), made.begin(), made.end());
}

// A game key of the keyboard: a gamepad may hold the same key, and the key
// goes up only when neither holds it.
static void PostGameKey(uint32_t message, uint32_t vk, intptr_t lParam)
{
    std::vector<Message> made;
    Input_Keyboard(sdl.player, Message{message, vk, lParam}, made);
    PostAll(made);
}

// Key messages as Windows makes them (platform/key_messages.h).
static void TranslateKey(const SDL_KeyboardEvent &key)
{
    const int scancode = key.keysym.scancode;
    const bool known = scancode >= 0 && scancode < SDL_NUM_SCANCODES;
    uint32_t vk = VirtualKeyFromSdl(scancode, key.keysym.sym, (key.keysym.mod & KMOD_NUM) != 0);
    if (known) {
        // A key held keeps its code through its repeats and its release
        if ((key.type == SDL_KEYUP || key.repeat) && sdl.messages.pressedCodes[scancode] != 0)
            vk = sdl.messages.pressedCodes[scancode];
        sdl.messages.pressedCodes[scancode] =
            key.type == SDL_KEYDOWN && vk < 256 ? static_cast<uint8_t>(vk) : 0;
    }
    if (vk == 0 || vk >= 256)
        return;
    const bool altHeld = (key.keysym.mod & KMOD_ALT) != 0;
    const bool down = key.type == SDL_KEYDOWN;
    const KeyMessage made = KeyMessageFor(sdl.messages.keyPresses[vk], vk, down, key.repeat != 0,
                                          altHeld, (key.keysym.mod & KMOD_CTRL) != 0);
    if (made.message == WM_SYSKEYDOWN || made.message == WM_SYSKEYUP)
        Post(made.message, vk, made.lParam);
    else
        PostGameKey(made.message, vk, made.lParam);
    // Windows' default handling turns Alt+F4 into a close request, once
    // per press
    if (made.message == WM_SYSKEYDOWN && vk == VK_F4 && altHeld && !key.repeat)
        Post(WM_CLOSE, 0, 0);
}

static void TranslateWindowEvent(const SDL_WindowEvent &event)
{
    if (!sdl.video.window || event.windowID != SDL_GetWindowID(sdl.video.window))
        return;
    switch (event.event) {
    case SDL_WINDOWEVENT_MINIMIZED:
        // The high word of wParam says "minimised"
        Post(WM_ACTIVATE, WA_INACTIVE | (uintptr_t(1) << 16), 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        Sdl_LogVideo(sdl.video.window, "keyboard");
        [[fallthrough]];
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        // A window that has the keyboard or is back on screen is not
        // minimised. Losing the keyboard says nothing: the game keeps
        // running behind other windows.
        Post(WM_ACTIVATE, WA_ACTIVE, 0);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        // The event says the window's size in the desktop's logical units;
        // the picture is drawn at the surface's own pixels
        Post(WM_SIZE, 0, Sdl_DrawableSizeParam(sdl.video.window));
        break;
    case SDL_WINDOWEVENT_CLOSE:
        Post(WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

static void TranslateEvent(const SDL_Event &event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        TranslateKey(event.key);
        break;
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(event.window);
        break;
    // The session or the system asks the program to end
    case SDL_QUIT:
        Post(WM_CLOSE, 0, 0);
        break;
    default: {
        std::vector<Message> made;
        Pad_TranslateEvent(event, made);
        PostAll(made);
        break;
    }
    }
}

// Another start asked for this game: as a task bar does it, a minimised
// game comes back (full screen in its own mode again), and the window goes
// on top with the keyboard. On X11 a minimised window is also unmapped,
// which SDL 3 (under sdl2-compat) counts as hidden, and SDL 3.2 restores no
// hidden window: shown again, the window manager brings it back. SDL 2 did
// both in SDL_RestoreWindow.
static void ComeToTheFront()
{
    SDL_Window *window = sdl.video.window;
    if (!window)
        return;
    if (SDL_GetWindowFlags(window) & SDL_WINDOW_HIDDEN)
        SDL_ShowWindow(window);
    if (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED)
        SDL_RestoreWindow(window);
    SDL_RaiseWindow(window);
}

bool Sys_PeekMessage(Message &message)
{
    if (sdl.messages.quitPosted) {
        sdl.messages.quitPosted = false;
        const intptr_t code = sdl.messages.quitCode;
        message = Message{WM_QUIT, static_cast<uintptr_t>(code), 0};
        return true;
    }
    if (Process_TakeCloseRequest()) {
        message = Message{WM_CLOSE, 0, 0};
        return true;
    }
    // Events flow while SDL's event system is up, started by the video
    // system or by the gamepads
    if (sdl.messages.pending.empty() && SDL_WasInit(SDL_INIT_EVENTS)) {
        if (Instance_Called())
            ComeToTheFront();
        Wayland_RepeatKeys();
        SDL_Event event;
        while (sdl.messages.pending.empty() && SDL_PollEvent(&event))
            TranslateEvent(event);
    }
    if (sdl.messages.pending.empty())
        return false;
    message = sdl.messages.pending.front();
    sdl.messages.pending.pop_front();
    return true;
}

void Sys_DispatchMessage(const Message &message)
{
    if (sdl.video.procedure)
        sdl.video.procedure(message.message, message.wParam, message.lParam);
}

void Sys_PostQuitMessage(int exitCode)
{
    sdl.messages.quitPosted = true;
    sdl.messages.quitCode = exitCode;
}

intptr_t Sys_DefaultWindowProc(uint32_t, uintptr_t, intptr_t)
{
    return 0;
}
