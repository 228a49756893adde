// The game's own watch on the keyboard beside SDL 2.26's (Debian 12) on
// Wayland: a key held through F1's window change goes on repeating.

#include "platform/sdl/wayland/keyboard_wayland.h"

#include <cstdint>
#include <cstring>

#include <SDL.h>
#include <SDL_syswm.h>
#include <unistd.h>
#include <wayland-client.h>

#include "platform/sdl/sdl_state.h"

// SDL's scancodes by Linux evdev key code (what wl_keyboard sends), from
// SDL's own table (src/events/scancodes_linux.h) for the first 128 codes:
// every key of a PC keyboard.
#define S(name) SDL_SCANCODE_##name
static const SDL_Scancode evdevScancodes[128] = {
    S(UNKNOWN), S(ESCAPE), S(1), S(2),
    S(3), S(4), S(5), S(6),
    S(7), S(8), S(9), S(0),
    S(MINUS), S(EQUALS), S(BACKSPACE), S(TAB),
    S(Q), S(W), S(E), S(R),
    S(T), S(Y), S(U), S(I),
    S(O), S(P), S(LEFTBRACKET), S(RIGHTBRACKET),
    S(RETURN), S(LCTRL), S(A), S(S),
    S(D), S(F), S(G), S(H),
    S(J), S(K), S(L), S(SEMICOLON),
    S(APOSTROPHE), S(GRAVE), S(LSHIFT), S(BACKSLASH),
    S(Z), S(X), S(C), S(V),
    S(B), S(N), S(M), S(COMMA),
    S(PERIOD), S(SLASH), S(RSHIFT), S(KP_MULTIPLY),
    S(LALT), S(SPACE), S(CAPSLOCK), S(F1),
    S(F2), S(F3), S(F4), S(F5),
    S(F6), S(F7), S(F8), S(F9),
    S(F10), S(NUMLOCKCLEAR), S(SCROLLLOCK), S(KP_7),
    S(KP_8), S(KP_9), S(KP_MINUS), S(KP_4),
    S(KP_5), S(KP_6), S(KP_PLUS), S(KP_1),
    S(KP_2), S(KP_3), S(KP_0), S(KP_PERIOD),
    S(UNKNOWN), S(LANG5), S(NONUSBACKSLASH), S(F11),
    S(F12), S(INTERNATIONAL1), S(LANG3), S(LANG4),
    S(INTERNATIONAL4), S(INTERNATIONAL2), S(INTERNATIONAL5), S(INTERNATIONAL5),
    S(KP_ENTER), S(RCTRL), S(KP_DIVIDE), S(SYSREQ),
    S(RALT), S(UNKNOWN), S(HOME), S(UP),
    S(PAGEUP), S(LEFT), S(RIGHT), S(END),
    S(DOWN), S(PAGEDOWN), S(INSERT), S(DELETE),
    S(UNKNOWN), S(MUTE), S(VOLUMEDOWN), S(VOLUMEUP),
    S(POWER), S(KP_EQUALS), S(KP_PLUSMINUS), S(PAUSE),
    S(UNKNOWN), S(KP_COMMA), S(LANG1), S(LANG2),
    S(INTERNATIONAL3), S(LGUI), S(RGUI), S(APPLICATION),
};
#undef S

static_assert(sizeof evdevScancodes / sizeof evdevScancodes[0] == evdevKeys,
              "one scancode for every key the watch covers");


// Posts a key event of SDL's kind for the key, through SDL's queue, so that
// it reaches the game in order with SDL's own.
static void PushKey(uint32_t evdev, bool down)
{
    const SDL_Scancode scancode = evdevScancodes[evdev];
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = down ? 1 : 0;
    event.key.windowID = sdl.video.window ? SDL_GetWindowID(sdl.video.window) : 0;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    event.key.keysym.mod = static_cast<Uint16>(SDL_GetModState());
    SDL_PushEvent(&event);
}

static void StopCarrying()
{
    if (sdl.wayland.carried != 0)
        PushKey(sdl.wayland.carried, false);
    sdl.wayland.carried = 0;
}

static void OnKeymap(void *, wl_keyboard *, uint32_t, int32_t fd, uint32_t)
{
    close(fd);
}

// SDL 2.26 presses only the modifiers of the keys a new window finds held
// (keyboard_handle_enter), and its key repeat has stopped with the old
// window: F1 held through F1's own window change would switch once and
// never again. The last key held that SDL does not know is held goes on
// repeating here, on SDL's schedule (the repeat delay from its press, then
// the rate), until it is let go.
static void OnEnter(void *, wl_keyboard *, uint32_t, wl_surface *, wl_array *keys)
{
    sdl.wayland.focused = true;
    std::memset(sdl.wayland.held, 0, sizeof sdl.wayland.held);
    sdl.wayland.carried = 0;
    const Uint8 *sdlHeld = SDL_GetKeyboardState(nullptr);
    const uint32_t *key = nullptr;
    for (key = static_cast<const uint32_t *>(keys->data);
         reinterpret_cast<const char *>(key) < static_cast<const char *>(keys->data) + keys->size;
         ++key) {
        if (*key >= evdevKeys)
            continue;
        sdl.wayland.held[*key] = true;
        const SDL_Scancode scancode = evdevScancodes[*key];
        if (scancode != SDL_SCANCODE_UNKNOWN && !sdlHeld[scancode])
            sdl.wayland.carried = *key;
    }
    if (sdl.wayland.carried == 0 || sdl.wayland.repeatRate <= 0)
        return;
    const Uint32 now = SDL_GetTicks();
    const Uint32 period = static_cast<Uint32>(1000 / sdl.wayland.repeatRate);
    const Uint32 pressed = sdl.wayland.pressedAt[sdl.wayland.carried];
    Uint32 next = (pressed != 0 ? pressed : now) + static_cast<Uint32>(sdl.wayland.repeatDelay);
    while (static_cast<int32_t>(now - next) > 0)
        next += period;
    sdl.wayland.nextRepeat = next;
}

static void OnLeave(void *, wl_keyboard *, uint32_t, wl_surface *)
{
    sdl.wayland.focused = false;
    StopCarrying();
}

static void OnKey(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t key, uint32_t state)
{
    if (key >= evdevKeys)
        return;
    const bool down = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    sdl.wayland.held[key] = down;
    sdl.wayland.pressedAt[key] = down ? (SDL_GetTicks() | 1) : 0;
    // A new press is SDL's to repeat; a release of the carried key is the
    // game's to pass on, since SDL takes that key for up already
    if (down || key == sdl.wayland.carried)
        StopCarrying();
}

static void OnModifiers(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)
{
}

static void OnRepeatInfo(void *, wl_keyboard *, int32_t rate, int32_t delay)
{
    sdl.wayland.repeatRate = rate;
    sdl.wayland.repeatDelay = delay;
}

static const wl_keyboard_listener keyboardListener = {
    OnKeymap, OnEnter, OnLeave, OnKey, OnModifiers, OnRepeatInfo,
};

static void ReleaseKeyboard()
{
    if (!sdl.wayland.keyboard)
        return;
    if (wl_keyboard_get_version(sdl.wayland.keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
        wl_keyboard_release(sdl.wayland.keyboard);
    else
        wl_keyboard_destroy(sdl.wayland.keyboard);
    sdl.wayland.keyboard = nullptr;
}

// A keyboard is asked for only while the seat has one: mutter 43 crashes
// on wl_seat.get_keyboard from a seat without a keyboard (its headless
// seat until a remote-desktop session makes one).
static void OnCapabilities(void *, wl_seat *seat, uint32_t capabilities)
{
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (keyboard && !sdl.wayland.keyboard) {
        sdl.wayland.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(sdl.wayland.keyboard, &keyboardListener, nullptr);
    } else if (!keyboard && sdl.wayland.keyboard) {
        ReleaseKeyboard();
        sdl.wayland.focused = false;
        sdl.wayland.carried = 0;
    }
}

static void OnSeatName(void *, wl_seat *, const char *)
{
}

static const wl_seat_listener seatListener = {OnCapabilities, OnSeatName};

static void OnGlobal(void *, wl_registry *registry, uint32_t name, const char *interface,
                     uint32_t version)
{
    if (sdl.wayland.seat || std::strcmp(interface, wl_seat_interface.name) != 0)
        return;
    // Version 4 brings the repeat settings, 5 the keyboard's release
    const uint32_t wanted = version < 5 ? version : 5;
    sdl.wayland.seat =
        static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, wanted));
    // Its events (the capabilities first) are handled in SDL's turn
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(sdl.wayland.seat), nullptr);
    wl_seat_add_listener(sdl.wayland.seat, &seatListener, nullptr);
}

static void OnGlobalRemove(void *, wl_registry *, uint32_t)
{
}

static const wl_registry_listener registryListener = {OnGlobal, OnGlobalRemove};

wl_display *Wayland_DisplayOf(SDL_Window *window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || sdl.display.system != DisplaySystem::Wayland ||
        !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
        return nullptr;
    return info.info.wl.display;
}

void Wayland_WatchKeys(SDL_Window *window)
{
    if (sdl.wayland.display)
        return;
    wl_display *display = Wayland_DisplayOf(window);
    if (!display)
        return;
    sdl.wayland.display = display;
    // The seat is found on a queue of our own, so that no event of SDL's is
    // handled out of its turn; the seat then joins SDL's queue.
    wl_event_queue *queue = wl_display_create_queue(display);
    auto *wrapped = static_cast<wl_display *>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(wrapped), queue);
    wl_registry *registry = wl_display_get_registry(wrapped);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip_queue(display, queue);
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapped);
    wl_event_queue_destroy(queue);
}

void Wayland_RepeatKeys()
{
    if (!sdl.wayland.focused || sdl.wayland.carried == 0 || sdl.wayland.repeatRate <= 0)
        return;
    const Uint32 now = SDL_GetTicks();
    const Uint32 period = static_cast<Uint32>(1000 / sdl.wayland.repeatRate);
    while (static_cast<int32_t>(now - sdl.wayland.nextRepeat) >= 0) {
        PushKey(sdl.wayland.carried, true);
        sdl.wayland.nextRepeat += period;
    }
}

void Wayland_Stop()
{
    ReleaseKeyboard();
    if (sdl.wayland.seat) {
        if (wl_seat_get_version(sdl.wayland.seat) >= WL_SEAT_RELEASE_SINCE_VERSION)
            wl_seat_release(sdl.wayland.seat);
        else
            wl_seat_destroy(sdl.wayland.seat);
    }
    // The parked queue goes with SDL's connection, which SDL_Quit closes
    // next: destroyed now it would still hold the proxies parked on it
    sdl.wayland = SdlWaylandState{};
}
