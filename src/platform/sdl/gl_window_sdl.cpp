// The game's SDL windows made for OpenGL, and taken down again.

#include "platform/sdl/gl_window_sdl.h"

#include "platform/sdl/sdl_state.h"
#include "platform/sdl/wayland/keyboard_wayland.h"
#include "platform/sdl/wayland/window_wayland.h"
#include "platform/sdl/x11/connection_x11.h"
#include "platform/x11/x_error_trap.h"

// Without a usable OpenGL driver, Mesa's GLX requests fail with protocol
// errors while SDL makes the window (it tries a first GL context then);
// caught, they make the context step fail later, and the game says so.
SDL_Window *Sdl_MakeGlWindow(const char *title, int width, int height, Uint32 flags,
                             bool &glBroken)
{
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    const XErrorTrap errors;
    SDL_Window *window =
        SDL_CreateWindow(title ? title : "", 0, 0, width, height, flags | SDL_WINDOW_OPENGL);
    if (!window)
        Sdl_ReportFailure("SDL_CreateWindow");
    X11_Sync(window);
    glBroken = errors.Seen();
    if (sdl.display.system == DisplaySystem::Wayland)
        Wayland_WatchKeys(window);
    return window;
}

void Sdl_DestroyGlWindow(SDL_Window *window)
{
    if (sdl.display.system == DisplaySystem::Wayland)
        Wayland_DestroyWindow(window);
    else
        SDL_DestroyWindow(window);
}
