// The video log of the end-to-end tests.

#include "platform/sdl/video_log_sdl.h"

#include <SDL.h>

#include "platform/sdl/sdl_state.h"
#include "system/debug_log.h"

void Sdl_LogVideo(SDL_Window *window, const char *what)
{
    if (!sdl.video.logged)
        return;
    const char *driver = SDL_GetCurrentVideoDriver();
    int width = 0, height = 0, drawableWidth = 0, drawableHeight = 0;
    Uint32 flags = 0;
    SDL_DisplayMode now{};
    if (window) {
        SDL_GetWindowSize(window, &width, &height);
        SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
        flags = SDL_GetWindowFlags(window);
        const int display = SDL_GetWindowDisplayIndex(window);
        if (display >= 0)
            SDL_GetCurrentDisplayMode(display, &now);
    }
    StderrLine("video: %s: driver %s, window %dx%d, drawable %dx%d, %s, display %dx%d\n", what,
               driver ? driver : "none", width, height, drawableWidth, drawableHeight,
               (flags & SDL_WINDOW_FULLSCREEN) ? "full screen" : "windowed", now.w, now.h);
}
