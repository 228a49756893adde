// The hidden OpenGL context of the tests and tools, on SDL's offscreen driver.

#include "platform/offscreen/offscreen_gl.h"

#include <cstdlib>
#include <string>

#include <SDL.h>

// The hidden window and its context; null while closed.
struct OffscreenGL {
    SDL_Window   *window = nullptr;
    SDL_GLContext context = nullptr;
};

static OffscreenGL offscreen;
static std::string offscreenError; // why the last OffscreenGL_Open failed

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
    offscreen.window = SDL_CreateWindow("Quarvel offscreen", 0, 0, width, height,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!offscreen.window) {
        offscreenError = std::string("window: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    offscreen.context = SDL_GL_CreateContext(offscreen.window);
    if (!offscreen.context) {
        offscreenError = std::string("GL context: ") + SDL_GetError();
        SDL_DestroyWindow(offscreen.window);
        offscreen.window = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    return true;
}

void OffscreenGL_Close()
{
    if (offscreen.context)
        SDL_GL_DeleteContext(offscreen.context);
    if (offscreen.window) {
        SDL_DestroyWindow(offscreen.window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    offscreen = OffscreenGL{};
}

const char *OffscreenGL_Error()
{
    return offscreenError.c_str();
}
