#pragma once

#include "platform/video.h"

struct SDL_Window;

// The SDL window behind a window handle; null for a handle that is not the
// live game window. For the tests that look at the real window. The rest
// of window_sdl.cpp is the seam's (video.h): the window class, the window,
// its drawing surface and the OpenGL context.
SDL_Window *Vid_SdlWindow(WindowHandle window);
