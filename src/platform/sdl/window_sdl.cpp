// The SDL backend's window class, window, drawing surface and OpenGL
// context.

#include "platform/sdl/window_sdl.h"

#include <cstdio>

#include <SDL.h>

#include "platform/sdl/display_mode_sdl.h"
#include "platform/sdl/gl_window_sdl.h"
#include "platform/sdl/sdl_state.h"
#include "platform/sdl/video_log_sdl.h"
#include "platform/sdl/video_start_sdl.h"
#include "platform/sdl/x11/connection_x11.h"
#include "platform/video.h"
#include "platform/x11/x_error_trap.h"

// The opaque handles stand for the one window the game has at a time; a
// handle is valid while sdl.video says that thing exists. The objects are
// only their addresses: nothing is kept in them.
struct VidModule {
    int unused;
};
struct VidWindow {
    int unused;
};
struct VidSurface {
    int unused;
};
struct VidGLContext {
    int unused;
};

static VidModule    videoModule;
static VidWindow    gameWindow;
static VidSurface   gameSurface;
static VidGLContext gameContext;

// Says on stderr which GL step failed, when SDL saw it succeed but it
// raised X errors.
static void ReportGlDriverFailure(const char *step)
{
    std::fprintf(stderr, "%s: the GL driver raised X errors\n", step);
}

// [SECTION] Window class

ModuleHandle Vid_RegisterClass(WindowProcedure procedure)
{
    // Like a second RegisterClass of the same name, a second registration fails
    if (sdl.video.registered || !procedure)
        return nullptr;
    // Sys_Init started it; a program that has not gets it here
    if (!Sdl_StartVideo())
        return nullptr;
    sdl.video.registered = true;
    sdl.video.procedure = procedure;
    return &videoModule;
}

bool Vid_UnregisterClass(ModuleHandle module)
{
    // As on Windows, a class cannot go while a window of it exists
    if (module != &videoModule || !sdl.video.registered || sdl.video.window)
        return false;
    // SDL video itself stays up: stopping it on every F1 would also stop
    // the keyboard's auto-repeat, and F1 held switches once per repeat.
    sdl.video.registered = false;
    sdl.video.procedure = nullptr;
    return true;
}

// [SECTION] Window

WindowHandle Vid_CreateWindow(ModuleHandle module, const char *title, int width, int height,
                              bool fullscreen)
{
    if (module != &videoModule || !sdl.video.registered || sdl.video.window)
        return nullptr;
    SDL_Window *window = nullptr;
    bool        glBroken = false;
    if (fullscreen && sdl.video.modeWindow) {
        // The window that changed the mode, already over the whole display
        window = sdl.video.modeWindow;
        glBroken = sdl.video.modeWindowGlBroken;
        sdl.video.modeWindow = nullptr;
        sdl.video.modeWindowGlBroken = false;
        SDL_SetWindowTitle(window, title ? title : "");
    } else {
        // Hidden until Vid_ShowWindow, like a window without WS_VISIBLE. A
        // decorated window can be resized like an overlapped one.
        const Uint32 flags =
            SDL_WINDOW_HIDDEN | (fullscreen ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_RESIZABLE);
        // At the top left corner of the monitor full screen was on, where
        // the game has always opened its window on one monitor
        window = Sdl_MakeGlWindow(title, width, height, flags, Sdl_PlayersDisplay(), glBroken);
    }
    if (!window)
        return nullptr;
    // The game refuses the screen saver while its window exists
    SDL_DisableScreenSaver();
    sdl.video.window = window;
    sdl.video.glBroken = glBroken;
    sdl.video.askedWidth = width;
    sdl.video.askedHeight = height;
    return &gameWindow;
}

bool Vid_DestroyWindow(WindowHandle window)
{
    if (window != &gameWindow || !sdl.video.window)
        return false;
    // F1 back to full screen goes to the monitor the player moved the
    // window to
    if ((SDL_GetWindowFlags(sdl.video.window) & SDL_WINDOW_FULLSCREEN) == 0)
        sdl.video.fullScreenDisplay = SDL_GetWindowDisplayIndex(sdl.video.window);
    Sdl_LogVideo(sdl.video.window, "destroyed");
    Sdl_DestroyGlWindow(sdl.video.window);
    sdl.video.window = nullptr;
    sdl.video.glBroken = false;
    sdl.video.askedWidth = 0;
    sdl.video.askedHeight = 0;
    sdl.video.surfaceTaken = false;
    sdl.video.surfaceFormat = 0;
    SDL_EnableScreenSaver();
    return true;
}

void Vid_ShowWindow(WindowHandle window)
{
    SDL_Window *sdlWindow = Vid_SdlWindow(window);
    if (!sdlWindow)
        return;
    SDL_ShowWindow(sdlWindow);
    Sdl_LogVideo(sdlWindow, "shown");
    // The shell sizes its first picture by the client size it asked for.
    // Where the surface has other pixels (a scaled output's device pixels,
    // a full-screen surface at the output's own size) a WM_SIZE follows
    // with them; at the size asked nothing more goes out.
    const intptr_t drawable = Sdl_DrawableSizeParam(sdlWindow);
    if (drawable != (sdl.video.askedWidth | (static_cast<intptr_t>(sdl.video.askedHeight) << 16)))
        sdl.messages.pending.push_back(Message{WM_SIZE, 0, drawable});
    // On Wayland a new toplevel gets the keyboard from the compositor, and a
    // client cannot take it. SDL 2.26's SDL_RaiseWindow there asks for an
    // xdg_activation_v1 token and activates the window's surface when the
    // token comes; by then F1 may have destroyed that surface, and sway 1.7
    // dies of the activation (the player's whole session with it).
    if (sdl.display.system == DisplaySystem::Wayland)
        return;
    SDL_RaiseWindow(sdlWindow);
    // Drivers without keyboard focus of their own (offscreen) refuse this
    // harmlessly
    SDL_SetWindowInputFocus(sdlWindow);
}

SDL_Window *Vid_SdlWindow(WindowHandle window)
{
    return window == &gameWindow ? sdl.video.window : nullptr;
}

// [SECTION] Drawing surface, pixel format and GL context

DeviceContext Vid_GetDeviceContext(WindowHandle window)
{
    if (!Vid_SdlWindow(window))
        return nullptr;
    sdl.video.surfaceTaken = true;
    return &gameSurface;
}

bool Vid_ReleaseDeviceContext(WindowHandle window, DeviceContext surface)
{
    if (!Vid_SdlWindow(window) || surface != &gameSurface || !sdl.video.surfaceTaken)
        return false;
    sdl.video.surfaceTaken = false;
    return true;
}

// The window of a surface handed out and not yet released; null otherwise.
static SDL_Window *SurfaceWindow(DeviceContext surface)
{
    return surface == &gameSurface && sdl.video.surfaceTaken ? sdl.video.window : nullptr;
}

int Vid_ChoosePixelFormat(DeviceContext surface, int colourBits, int depthBits)
{
    SDL_Window *window = SurfaceWindow(surface);
    if (!window || colourBits <= 0 || depthBits < 0)
        return 0;
    // The one format there is: the one the window was made with
    return (SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL) ? 1 : 0;
}

bool Vid_SetPixelFormat(DeviceContext surface, int format)
{
    // As on Windows, a window's pixel format is set once for good
    if (!SurfaceWindow(surface) || format != 1)
        return false;
    if (sdl.video.surfaceFormat != 0 && sdl.video.surfaceFormat != format)
        return false;
    sdl.video.surfaceFormat = format;
    return true;
}

RenderContext Vid_CreateContext(DeviceContext surface)
{
    SDL_Window *window = SurfaceWindow(surface);
    if (!window || sdl.video.surfaceFormat == 0 || sdl.video.context)
        return nullptr;
    // SDL makes a new context current at once; wglCreateContext does not,
    // so whatever was current before is put back.
    SDL_Window   *previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    // A GL driver that failed while the window was made has no context to
    // give either
    if (sdl.video.glBroken) {
        ReportGlDriverFailure("SDL_CreateWindow");
        return nullptr;
    }
    const XErrorTrap errors;
    sdl.video.context = SDL_GL_CreateContext(window);
    X11_Sync(window);
    if (!sdl.video.context) {
        Sdl_ReportFailure("SDL_GL_CreateContext");
        return nullptr;
    }
    if (errors.Seen()) {
        ReportGlDriverFailure("SDL_GL_CreateContext");
        SDL_GL_DeleteContext(sdl.video.context);
        sdl.video.context = nullptr;
        return nullptr;
    }
    SDL_GL_MakeCurrent(previousWindow, previousContext);
    return &gameContext;
}

bool Vid_MakeCurrent(DeviceContext surface, RenderContext context)
{
    SDL_Window *window = SurfaceWindow(surface);
    if (!window || context != &gameContext || !sdl.video.context)
        return false;
    const XErrorTrap errors;
    const bool current = SDL_GL_MakeCurrent(window, sdl.video.context) == 0;
    if (!current)
        Sdl_ReportFailure("SDL_GL_MakeCurrent");
    // The errors of the attempt are collected either way
    X11_Sync(window);
    if (!current)
        return false;
    if (errors.Seen()) {
        ReportGlDriverFailure("SDL_GL_MakeCurrent");
        return false;
    }
    return true;
}

bool Vid_ReleaseCurrent()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    if (SDL_GL_MakeCurrent(nullptr, nullptr) != 0) {
        Sdl_ReportFailure("SDL_GL_MakeCurrent");
        return false;
    }
    return true;
}

bool Vid_DeleteContext(RenderContext context)
{
    if (context != &gameContext || !sdl.video.context)
        return false;
    SDL_GL_DeleteContext(sdl.video.context);
    sdl.video.context = nullptr;
    return true;
}

void Vid_SwapBuffers(DeviceContext surface)
{
    if (SDL_Window *window = SurfaceWindow(surface))
        SDL_GL_SwapWindow(window);
}

bool Vid_SetSwapInterval(int interval)
{
    return SDL_GL_SetSwapInterval(interval) == 0;
}
