// SDL's Wayland driver, where SDL 2.26 (Debian 12) gets the keyboard and a
// window's end wrong: the game's own watch on the keyboard, and a window
// taken off the screen in an order the compositor and SDL both survive.

#include <cstdint>
#include <cstring>

#include <SDL.h>
#include <SDL_syswm.h>
#include <unistd.h>
#include <wayland-client.h>

#include "platform/sdl/sdl_backend.h"

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

// The key codes the table covers; keys beyond them are left to SDL.
constexpr uint32_t evdevKeys = 128;

// The game's own wl_keyboard beside SDL's, on SDL's connection. Its events
// are dispatched by SDL's own reads, on the main thread.
struct SdlWaylandKeys {
    wl_display  *display = nullptr;   // SDL's connection; null until a window is made
    wl_seat     *seat = nullptr;
    wl_keyboard *keyboard = nullptr;
    bool         focused = false;     // a surface of ours has the keyboard
    bool         held[evdevKeys] = {};
    Uint32       pressedAt[evdevKeys] = {}; // SDL_GetTicks of the press; 0 when unknown
    int          repeatRate = 25;     // repeats per second, 0 for none
    int          repeatDelay = 600;   // ms from a press to its first repeat
    uint32_t     carried = 0;         // a key held through a window change; 0 when none
    Uint32       nextRepeat = 0;      // SDL_GetTicks of its next repeat
};

static SdlWaylandKeys waylandKeys;

// Posts a key event of SDL's kind for the key, through SDL's queue, so that
// it reaches the game in order with SDL's own.
static void PushKey(uint32_t evdev, bool down)
{
    const SDL_Scancode scancode = evdevScancodes[evdev];
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = down ? 1 : 0;
    event.key.windowID = sdlVideo.window ? SDL_GetWindowID(sdlVideo.window) : 0;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    event.key.keysym.mod = static_cast<Uint16>(SDL_GetModState());
    SDL_PushEvent(&event);
}

static void StopCarrying()
{
    if (waylandKeys.carried != 0)
        PushKey(waylandKeys.carried, false);
    waylandKeys.carried = 0;
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
    waylandKeys.focused = true;
    std::memset(waylandKeys.held, 0, sizeof waylandKeys.held);
    waylandKeys.carried = 0;
    const Uint8 *sdlHeld = SDL_GetKeyboardState(nullptr);
    const uint32_t *key = nullptr;
    for (key = static_cast<const uint32_t *>(keys->data);
         reinterpret_cast<const char *>(key) < static_cast<const char *>(keys->data) + keys->size;
         ++key) {
        if (*key >= evdevKeys)
            continue;
        waylandKeys.held[*key] = true;
        const SDL_Scancode scancode = evdevScancodes[*key];
        if (scancode != SDL_SCANCODE_UNKNOWN && !sdlHeld[scancode])
            waylandKeys.carried = *key;
    }
    if (waylandKeys.carried == 0 || waylandKeys.repeatRate <= 0)
        return;
    const Uint32 now = SDL_GetTicks();
    const Uint32 period = static_cast<Uint32>(1000 / waylandKeys.repeatRate);
    const Uint32 pressed = waylandKeys.pressedAt[waylandKeys.carried];
    Uint32 next = (pressed != 0 ? pressed : now) + static_cast<Uint32>(waylandKeys.repeatDelay);
    while (static_cast<int32_t>(now - next) > 0)
        next += period;
    waylandKeys.nextRepeat = next;
}

static void OnLeave(void *, wl_keyboard *, uint32_t, wl_surface *)
{
    waylandKeys.focused = false;
    StopCarrying();
}

static void OnKey(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t key, uint32_t state)
{
    if (key >= evdevKeys)
        return;
    const bool down = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    waylandKeys.held[key] = down;
    waylandKeys.pressedAt[key] = down ? (SDL_GetTicks() | 1) : 0;
    // A new press is SDL's to repeat; a release of the carried key is the
    // game's to pass on, since SDL takes that key for up already
    if (down || key == waylandKeys.carried)
        StopCarrying();
}

static void OnModifiers(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)
{
}

static void OnRepeatInfo(void *, wl_keyboard *, int32_t rate, int32_t delay)
{
    waylandKeys.repeatRate = rate;
    waylandKeys.repeatDelay = delay;
}

static const wl_keyboard_listener keyboardListener = {
    OnKeymap, OnEnter, OnLeave, OnKey, OnModifiers, OnRepeatInfo,
};

static void ReleaseKeyboard()
{
    if (!waylandKeys.keyboard)
        return;
    if (wl_keyboard_get_version(waylandKeys.keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
        wl_keyboard_release(waylandKeys.keyboard);
    else
        wl_keyboard_destroy(waylandKeys.keyboard);
    waylandKeys.keyboard = nullptr;
}

// A keyboard is asked for only while the seat has one: mutter 43 crashes
// on wl_seat.get_keyboard from a seat without a keyboard (its headless
// seat until a remote-desktop session makes one).
static void OnCapabilities(void *, wl_seat *seat, uint32_t capabilities)
{
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (keyboard && !waylandKeys.keyboard) {
        waylandKeys.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(waylandKeys.keyboard, &keyboardListener, nullptr);
    } else if (!keyboard && waylandKeys.keyboard) {
        ReleaseKeyboard();
        waylandKeys.focused = false;
        waylandKeys.carried = 0;
    }
}

static void OnSeatName(void *, wl_seat *, const char *)
{
}

static const wl_seat_listener seatListener = {OnCapabilities, OnSeatName};

static void OnGlobal(void *, wl_registry *registry, uint32_t name, const char *interface,
                     uint32_t version)
{
    if (waylandKeys.seat || std::strcmp(interface, wl_seat_interface.name) != 0)
        return;
    // Version 4 brings the repeat settings, 5 the keyboard's release
    const uint32_t wanted = version < 5 ? version : 5;
    waylandKeys.seat =
        static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, wanted));
    // Its events (the capabilities first) are handled in SDL's turn
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(waylandKeys.seat), nullptr);
    wl_seat_add_listener(waylandKeys.seat, &seatListener, nullptr);
}

static void OnGlobalRemove(void *, wl_registry *, uint32_t)
{
}

static const wl_registry_listener registryListener = {OnGlobal, OnGlobalRemove};

static wl_display *WaylandDisplayOf(SDL_Window *window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
        return nullptr;
    return info.info.wl.display;
}

void Sdl_WaylandWatchKeys(SDL_Window *window)
{
    if (waylandKeys.display)
        return;
    wl_display *display = WaylandDisplayOf(window);
    if (!display)
        return;
    waylandKeys.display = display;
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

void Sdl_WaylandRepeatKeys()
{
    if (!waylandKeys.focused || waylandKeys.carried == 0 || waylandKeys.repeatRate <= 0)
        return;
    const Uint32 now = SDL_GetTicks();
    const Uint32 period = static_cast<Uint32>(1000 / waylandKeys.repeatRate);
    while (static_cast<int32_t>(now - waylandKeys.nextRepeat) >= 0) {
        PushKey(waylandKeys.carried, true);
        waylandKeys.nextRepeat += period;
    }
}

void Sdl_WaylandStop()
{
    ReleaseKeyboard();
    if (waylandKeys.seat) {
        if (wl_seat_get_version(waylandKeys.seat) >= WL_SEAT_RELEASE_SINCE_VERSION)
            wl_seat_release(waylandKeys.seat);
        else
            wl_seat_destroy(waylandKeys.seat);
    }
    waylandKeys = SdlWaylandKeys{};
}

// Where the compositor draws no decorations (mutter, weston), SDL 2.26
// makes its windows through libdecor, and never lets go of a window's
// libdecor frame: the frame's xdg_toplevel outlives the window, with SDL's
// freed window as its callbacks' data. The next configure the compositor
// sends it (weston 10 sends one when another window takes the focus)
// crashes the game inside SDL. Hidden, a window SDL made itself has no
// xdg_toplevel left; one that still has one is such a frame's, and its
// objects are moved to a queue that is never read, so that nothing the
// compositor says of them reaches SDL.
static void ParkLeakedToplevel(SDL_Window *window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND ||
        !info.info.wl.xdg_toplevel)
        return;
    static wl_event_queue *parked = nullptr;
    if (!parked)
        parked = wl_display_create_queue(info.info.wl.display);
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(info.info.wl.xdg_toplevel), parked);
    if (info.info.wl.xdg_surface)
        wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(info.info.wl.xdg_surface), parked);
}

// The longest the game waits for the compositor to take the keyboard from
// a window it is about to destroy.
static constexpr Uint32 keyboardLeaveMs = 1000;

void Sdl_DestroyWindow(SDL_Window *window)
{
    wl_display *display = WaylandDisplayOf(window);
    if (!display) {
        SDL_DestroyWindow(window);
        return;
    }
    // Destroyed with the keyboard, the window's surface is gone by the time
    // the compositor's wl_keyboard.leave comes, which then names no surface;
    // SDL 2.26 ignores such a leave, keeps the keys it had held and repeats
    // the last one for ever (F1 held then switches on its own, and no key
    // let go meanwhile is ever let go). Hidden first, the surface is still
    // there for the leave: SDL stops its repeat and lets go of every key.
    if (SDL_GetKeyboardFocus() == window) {
        SDL_HideWindow(window);
        const Uint32 start = SDL_GetTicks();
        while (SDL_GetKeyboardFocus() == window && SDL_GetTicks() - start < keyboardLeaveMs) {
            if (wl_display_roundtrip(display) < 0)
                break;
            if (SDL_GetKeyboardFocus() == window)
                SDL_Delay(2);
        }
    }
    // Whatever the compositor said of this window (a configure for leaving
    // full screen) is taken while SDL still has the window.
    wl_display_roundtrip(display);
    ParkLeakedToplevel(window);
    SDL_DestroyWindow(window);
}
