// A window taken off a Wayland compositor's screen in an order that SDL
// 2.26 (Debian 12) and the compositors both survive.

#include "platform/sdl/wayland/window_wayland.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <wayland-client.h>

#include "platform/sdl/sdl_state.h"
#include "platform/sdl/wayland/keyboard_wayland.h"

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
    if (!sdl.wayland.parked)
        sdl.wayland.parked = wl_display_create_queue(info.info.wl.display);
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(info.info.wl.xdg_toplevel),
                       sdl.wayland.parked);
    if (info.info.wl.xdg_surface)
        wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(info.info.wl.xdg_surface),
                           sdl.wayland.parked);
}

// The longest the game waits for the compositor to take the keyboard from
// a window it is about to destroy.
static constexpr Uint32 keyboardLeaveMs = 1000;

void Wayland_DestroyWindow(SDL_Window *window)
{
    wl_display *display = Wayland_DisplayOf(window);
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
