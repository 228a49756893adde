// The headless tools' video: their one context is the hidden offscreen one
// (offscreen_gl.h), so of the window system only swap control is asked for.

#include "platform/video.h"

#include <SDL.h>

bool Vid_SetSwapInterval(int interval)
{
    return SDL_GL_SetSwapInterval(interval) == 0;
}
