// Window messages as Windows sends them, made from SDL's events.

#include "platform/messages.h"

#include <deque>
#include <vector>

#include <SDL.h>

#include "platform/key_messages.h"
#include "platform/sdl/keys_sdl.h"
#include "platform/sdl/one_game.h"
#include "platform/sdl/sdl_backend.h"
#include "system/virtual_keys.h"

std::atomic<int> sdlCloseRequested{0};
PlayerInput      sdlPlayer;

// Windows' WM_ACTIVATE low word
enum : uintptr_t {
    WA_INACTIVE = 0,
    WA_ACTIVE = 1,
};

// What the message queue holds between calls; Sys_Shutdown starts it afresh.
struct SdlMessageState {
    // Messages made from SDL events and not yet taken: one event can make
    // two (Alt+F4 is a system key and a close request).
    std::deque<Message> pending;
    bool                quitPosted = false; // WM_QUIT waits to be taken
    int                 quitCode = 0;       // its wParam
    // How each virtual key's last press went out, so that its release goes
    // out the same way: a key pressed without Alt and released with Alt
    // held must still clear its KeyState entry, or the ship would thrust on
    // for ever.
    KeyPress            keyPresses[256] = {};
    // The code each physical key went down with, 0 while it is up: keypad 8
    // pressed as Up with NumLock off and released after NumLock went on
    // must let go of Up, not of VK_NUMPAD8.
    uint8_t             pressedCodes[SDL_NUM_SCANCODES] = {};
};

static SdlMessageState sdlMessages;

void Sdl_ResetMessages()
{
    sdlMessages = SdlMessageState{};
    sdlPlayer = PlayerInput{};
}

static void Post(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    sdlMessages.pending.push_back(Message{message, wParam, lParam});
}

void Sdl_PostMessages(const std::vector<Message> &made)
{
    sdlMessages.pending.insert(sdlMessages.pending.end(), made.begin(), made.end());
}

// A game key of the keyboard: a gamepad may hold the same key, and the key
// goes up only when neither holds it.
static void PostGameKey(uint32_t message, uint32_t vk, intptr_t lParam)
{
    std::vector<Message> made;
    Input_Keyboard(sdlPlayer, Message{message, vk, lParam}, made);
    Sdl_PostMessages(made);
}

// Key messages as Windows makes them (platform/key_messages.h).
static void TranslateKey(const SDL_KeyboardEvent &key)
{
    const int scancode = key.keysym.scancode;
    const bool known = scancode >= 0 && scancode < SDL_NUM_SCANCODES;
    uint32_t vk = VirtualKeyFromSdl(scancode, key.keysym.sym, (key.keysym.mod & KMOD_NUM) != 0);
    if (known) {
        // A key held keeps its code through its repeats and its release
        if ((key.type == SDL_KEYUP || key.repeat) && sdlMessages.pressedCodes[scancode] != 0)
            vk = sdlMessages.pressedCodes[scancode];
        sdlMessages.pressedCodes[scancode] =
            key.type == SDL_KEYDOWN && vk < 256 ? static_cast<uint8_t>(vk) : 0;
    }
    if (vk == 0 || vk >= 256)
        return;
    const bool altHeld = (key.keysym.mod & KMOD_ALT) != 0;
    const bool down = key.type == SDL_KEYDOWN;
    const KeyMessage made = KeyMessageFor(sdlMessages.keyPresses[vk], vk, down, key.repeat != 0,
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
    if (!sdlVideo.window || event.windowID != SDL_GetWindowID(sdlVideo.window))
        return;
    switch (event.event) {
    case SDL_WINDOWEVENT_MINIMIZED:
        // The high word of wParam says "minimised"
        Post(WM_ACTIVATE, WA_INACTIVE | (uintptr_t(1) << 16), 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        Sdl_LogVideo(sdlVideo.window, "keyboard");
        [[fallthrough]];
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        // A window that has the keyboard or is back on screen is not
        // minimised. Losing the keyboard says nothing: the game keeps
        // running behind other windows.
        Post(WM_ACTIVATE, WA_ACTIVE, 0);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        const intptr_t width = event.data1 & 0xFFFF;
        const intptr_t height = event.data2 & 0xFFFF;
        Post(WM_SIZE, 0, width | (height << 16));
        break;
    }
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
    default:
        Pad_TranslateEvent(event);
        break;
    }
}

bool Sys_PeekMessage(Message &message)
{
    if (sdlMessages.quitPosted) {
        sdlMessages.quitPosted = false;
        const intptr_t code = sdlMessages.quitCode;
        message = Message{WM_QUIT, static_cast<uintptr_t>(code), 0};
        return true;
    }
    if (sdlCloseRequested.exchange(0) != 0) {
        message = Message{WM_CLOSE, 0, 0};
        return true;
    }
    // Events flow while SDL's event system is up, started by the video
    // system or by the gamepads
    if (sdlMessages.pending.empty() && SDL_WasInit(SDL_INIT_EVENTS)) {
        Instance_AnswerCalls();
        Sdl_WaylandRepeatKeys();
        SDL_Event event;
        while (sdlMessages.pending.empty() && SDL_PollEvent(&event))
            TranslateEvent(event);
    }
    if (sdlMessages.pending.empty())
        return false;
    message = sdlMessages.pending.front();
    sdlMessages.pending.pop_front();
    return true;
}

void Sys_DispatchMessage(const Message &message)
{
    if (sdlVideo.procedure)
        sdlVideo.procedure(message.message, message.wParam, message.lParam);
}

void Sys_PostQuitMessage(int exitCode)
{
    sdlMessages.quitPosted = true;
    sdlMessages.quitCode = exitCode;
}

intptr_t Sys_DefaultWindowProc(uint32_t, uintptr_t, intptr_t)
{
    return 0;
}
