#pragma once

#include <SDL.h>

// The game's SDL windows, made for OpenGL and taken down again on every
// display system.

// A window with the pixel format the game chooses later: SDL fixes it when
// a window is made, so it is asked for here (double-buffered RGBA with a
// 16-bit depth buffer, the deepest colour the display has). glBroken is set
// when the GL driver failed on the way (X errors). Null on failure, said on
// stderr.
SDL_Window *Sdl_MakeGlWindow(const char *title, int width, int height, Uint32 flags,
                             bool &glBroken);
// Destroys one, in the order its display system needs.
void        Sdl_DestroyGlWindow(SDL_Window *window);
