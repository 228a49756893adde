// SDL's connection to the X server, reached through its window.

#include "platform/sdl/x11/connection_x11.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include "platform/sdl/sdl_state.h"

Display *X11_Connection(SDL_Window *window)
{
    if (!window || sdl.display.system != DisplaySystem::X11)
        return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return nullptr;
    return info.info.x11.display;
}

void X11_Sync(SDL_Window *window)
{
    if (Display *display = X11_Connection(window))
        XSync(display, False);
}
