// The game's SDL windows made for OpenGL, and taken down again.

#include "platform/sdl/gl_window_sdl.h"

#include "platform/sdl/sdl_state.h"
#include "platform/sdl/wayland/keyboard_wayland.h"
#include "platform/sdl/wayland/window_wayland.h"
#include "platform/sdl/x11/connection_x11.h"
#include "platform/sdl/x11/output_switch_x11.h"
#include "platform/x11/x_error_trap.h"

// Without a usable OpenGL driver, Mesa's GLX requests fail with protocol
// errors while SDL makes the window (it tries a first GL context then);
// caught, they make the context step fail later, and the game says so.
SDL_Window *Sdl_MakeGlWindow(const char *title, int width, int height, Uint32 flags,
                             int display, bool &glBroken)
{
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    const XErrorTrap errors;
    // At the display's origin, not centred: centred on the desktop's mode
    // before the switch (640x480, say) an 800x600 window would hang off
    // its top left corner once the display is 800x600
    SDL_Rect at{1, 1, 0, 0};
    if (display >= 0 && SDL_GetDisplayBounds(display, &at) != 0)
        at = SDL_Rect{};
    SDL_Window *window = SDL_CreateWindow(title ? title : "", at.x, at.y, width, height,
                                          flags | SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window)
        Sdl_ReportFailure("SDL_CreateWindow");
    X11_Sync(window);
    glBroken = errors.Seen();
    if (sdl.display.system == DisplaySystem::Wayland)
        Wayland_WatchKeys(window);
    return window;
}

intptr_t Sdl_DrawableSizeParam(SDL_Window *window)
{
    int width = 0, height = 0;
    if (window)
        SDL_GL_GetDrawableSize(window, &width, &height);
    return (width & 0xFFFF) | (static_cast<intptr_t>(height & 0xFFFF) << 16);
}

void Sdl_DestroyGlWindow(SDL_Window *window)
{
    if (sdl.display.system == DisplaySystem::Wayland)
        Wayland_DestroyWindow(window);
    else if (sdl.video.guarded)
        // A window that holds the game's mode gives its monitor the
        // desktop's back as it goes
        X11_LeaveOutputMode(window, [window] { SDL_DestroyWindow(window); });
    else
        SDL_DestroyWindow(window);
}
