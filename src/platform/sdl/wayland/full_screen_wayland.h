#pragma once

#include <SDL.h>

// Whether a full-screen window shows the asked mode on Wayland. A client
// cannot change an output's mode there: SDL (2.26 as 3.x) emulates the
// modes it lists by drawing the window at the mode's size and having the
// compositor scale it over the whole output (wp_viewport), while the output
// keeps its own mode. The switch is the window: full screen, and drawn at
// the asked size, once the compositor has said so.
bool Wayland_ShowsMode(SDL_Window *window, const SDL_DisplayMode &mode);
