#pragma once

#include <cstdint>

#include <SDL.h>

// The game's SDL windows, made for OpenGL and taken down again on every
// display system.

// A window with the pixel format the game chooses later: SDL fixes it when
// a window is made, so it is asked for here (double-buffered RGBA with a
// 16-bit depth buffer, the deepest colour the display has). glBroken is set
// when the GL driver failed on the way (X errors). Null on failure, said on
// stderr. The window draws at the screen's own pixels (SDL's high-DPI
// drawable), so a window on a scaled output is sharp.
// A full-screen one goes on display (SDL's index); -1 leaves the place to
// the window manager: the window is made at 1,1, on no output's corner, and
// SDL moves it to the corner of the output it shows on (Wayland).
SDL_Window *Sdl_MakeGlWindow(const char *title, int width, int height, Uint32 flags,
                             int display, bool &glBroken);
// WM_SIZE's lParam for the window's drawable: its width and height in
// device pixels (on a scale-2 output twice its logical size).
intptr_t    Sdl_DrawableSizeParam(SDL_Window *window);
// Destroys one, in the order its display system needs.
void        Sdl_DestroyGlWindow(SDL_Window *window);
