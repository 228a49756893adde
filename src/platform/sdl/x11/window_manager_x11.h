#pragma once

#include <functional>

struct SDL_Window;

// Runs change, SDL's request to put the window into full screen or out of
// it. On an X display with no window manager the game stands in for one:
// SDL does not wait for its answer meanwhile, and the game then writes the
// window's state as a manager would. Elsewhere just runs change.
void X11_ChangeFullscreen(SDL_Window *window, bool fullscreen,
                          const std::function<void()> &change);
