#pragma once

#include <SDL.h>

// Whether a new full-screen window holds its whole output on Wayland. A
// client cannot change an output's mode there, and a mode SDL emulates is
// the window drawn small and stretched over the output by the compositor
// (wp_viewport): a 4:3 picture made 16:9. The game's full screen is the
// window at the output's own size instead, once the compositor has said
// so; the shell fits its 4:3 picture inside.
bool Wayland_ShowsMode(SDL_Window *window);

// Shows one black picture in the window, which maps it: a Wayland window
// is on no output until it has shown one.
void Wayland_ShowBlackPicture(SDL_Window *window);
