// Full screen on an X display with no window manager.
//
// SDL 3.2 (what Debian 13's libsdl2-compat-shim puts under SDL2's API) asks
// the window manager for full screen and counts the window as full screen
// only once the manager has written so in the window's _NET_WM_STATE. With
// no manager running nobody ever does: SDL waits 5 s at each switch, then
// gives the desktop its mode back ("Time out elapsed after mode switch on
// display 1 with no window becoming fullscreen; reverting"), and the game
// finds its mode refused. SDL 2 counted the window as full screen at once.
// So where no manager runs, the game writes the state a manager would have
// written; where one runs, it leaves the state to it.

#include <functional>
#include <string>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/sdl/sdl_state.h"
#include "platform/sdl/x11/window_manager_x11.h"
#include "platform/x11/x_error_trap.h"

// The window named by on's _NET_SUPPORTING_WM_CHECK; None when it has none.
static Window SupportingWindow(Display *display, Window on, Atom check)
{
    Atom           type = None;
    int            format = 0;
    unsigned long  count = 0;
    unsigned long  after = 0;
    unsigned char *data = nullptr;
    Window         named = None;
    if (XGetWindowProperty(display, on, check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                           &after, &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1)
        // Xlib hands 32-bit items as longs
        named = static_cast<Window>(*reinterpret_cast<unsigned long *>(data));
    if (data)
        XFree(data);
    return named;
}

// A window manager that follows the EWMH names a window of its own on the
// root window, and that window names itself; a manager that went away may
// have left the root's property behind, naming a window that is gone.
static bool WindowManagerRuns(Display *display)
{
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    const Window named = SupportingWindow(display, DefaultRootWindow(display), check);
    if (named == None)
        return false;
    // The named window may be gone: its BadWindow must not end the game
    XSync(display, False);
    const XErrorTrap errors;
    const Window     itself = SupportingWindow(display, named, check);
    XSync(display, False);
    return !errors.Seen() && itself == named;
}

// SDL 3's name for it; SDL 2 knows no such hint and ignores it. sdl2-compat
// turns it on, for SDL 2's programs that count on a window being shown or
// resized once the call returns.
static const char syncHint[] = "SDL_VIDEO_SYNC_WINDOW_OPERATIONS";

void X11_ChangeFullscreen(SDL_Window *window, bool fullscreen, const std::function<void()> &change)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    Display *display = nullptr;
    if (window && sdl.display.system == DisplaySystem::X11 && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11 &&
        !WindowManagerRuns(info.info.x11.display))
        display = info.info.x11.display;
    if (!display) {
        change();
        return;
    }
    // SDL would wait for the answer of a manager that is not there
    const char *held = SDL_GetHint(syncHint);
    const std::string sync = held ? held : "";
    SDL_SetHint(syncHint, "0");
    change();
    SDL_SetHint(syncHint, held ? sync.c_str() : nullptr);
    // The answer, as the manager writes it. SDL takes it now, while the
    // game waits: it may set the display mode only as it does.
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    if (fullscreen) {
        const Atom full = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
        XChangeProperty(display, info.info.x11.window, state, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(&full), 1);
    } else {
        XDeleteProperty(display, info.info.x11.window, state);
    }
    XSync(display, False);
    SDL_PumpEvents();
}
