#pragma once

struct SDL_Window;

// Destroys an SDL window; on Wayland after taking it off the screen in an
// order that SDL 2.26 and the compositors survive: hidden first, so that
// SDL gets the keyboard's leave, and with what SDL leaves behind of a
// libdecor frame parked where nothing reads it.
void Wayland_DestroyWindow(SDL_Window *window);
