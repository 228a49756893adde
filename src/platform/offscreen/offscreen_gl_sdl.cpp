#include "platform/offscreen/offscreen_gl.h"

#include <cstdlib>
#include <string>

#include <SDL.h>

static SDL_Window   *offscreenWindow = nullptr;
static SDL_GLContext offscreenContext = nullptr;
static std::string   offscreenError;

bool OffscreenGL_Open(int width, int height)
{
    OffscreenGL_Close();
    // The offscreen driver needs no display; a caller may still choose
    // another driver through SDL_VIDEODRIVER.
    if (!std::getenv("SDL_VIDEODRIVER"))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        offscreenError = std::string("SDL video: ") + SDL_GetError();
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    offscreenWindow = SDL_CreateWindow("Quarvel offscreen", 0, 0, width, height,
                                       SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!offscreenWindow) {
        offscreenError = std::string("window: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    offscreenContext = SDL_GL_CreateContext(offscreenWindow);
    if (!offscreenContext) {
        offscreenError = std::string("GL context: ") + SDL_GetError();
        SDL_DestroyWindow(offscreenWindow);
        offscreenWindow = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    return true;
}

void OffscreenGL_Close()
{
    if (offscreenContext)
        SDL_GL_DeleteContext(offscreenContext);
    if (offscreenWindow) {
        SDL_DestroyWindow(offscreenWindow);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    offscreenContext = nullptr;
    offscreenWindow = nullptr;
}

const char *OffscreenGL_Error()
{
    return offscreenError.c_str();
}
