// A full-screen switch on Wayland: the window over the whole output, at the
// output's own size.

#include "platform/sdl/wayland/full_screen_wayland.h"

// The longest a compositor may take to hold a new window full screen: at
// its first answer (mutter and kwin hold it by then), and once asked again.
static constexpr Uint32 waylandFirstAnswerMs = 250;
static constexpr Uint32 waylandSettleMs = 1000;

// Waits at most settleMs for SDL to hold the window full screen over its
// whole output. SDL 2.26 follows each configure of the compositor, which
// may first answer a new window without full screen, then with it; the
// events pumped meanwhile stay queued for the game.
static bool SettlesFullScreen(SDL_Window *window, Uint32 settleMs)
{
    const Uint32 start = SDL_GetTicks();
    for (;;) {
        int      width = 0, height = 0;
        SDL_Rect output{};
        SDL_GetWindowSize(window, &width, &height);
        const int display = SDL_GetWindowDisplayIndex(window);
        if ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0 && display >= 0 &&
            SDL_GetDisplayBounds(display, &output) == 0 && width == output.w &&
            height == output.h)
            return true;
        if (SDL_GetTicks() - start >= settleMs)
            return false;
        SDL_Delay(5);
        SDL_PumpEvents();
    }
}

void Wayland_ShowBlackPicture(SDL_Window *window)
{
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context)
        return;
    using ClearProc = void (*)(unsigned int);
    if (auto clear = reinterpret_cast<ClearProc>(SDL_GL_GetProcAddress("glClear")))
        clear(0x00004000); // GL_COLOR_BUFFER_BIT
    SDL_GL_SwapWindow(window);
    SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(context);
}

// sway 1.7 ignores a full-screen request from a window that has shown no
// picture yet (it is not mapped), and SDL 2.26 asks before the first one.
// One black picture maps the window; then the request is made again.
static void MapAndAskAgain(SDL_Window *window)
{
    Wayland_ShowBlackPicture(window);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

bool Wayland_ShowsMode(SDL_Window *window)
{
    if (SettlesFullScreen(window, waylandFirstAnswerMs))
        return true;
    MapAndAskAgain(window);
    return SettlesFullScreen(window, waylandSettleMs);
}
