#pragma once

#include <functional>

struct SDL_Window;

// SDL's switch of one X monitor's mode, made safe on a desktop of several.
// Runs change (which shows window, full screen, and so has SDL switch the
// monitor of display, SDL's index, to width x height) with X errors caught;
// then every monitor but that one must be as it was, and that one in a
// width x height mode where it was: where SDL left the screen otherwise,
// the game sets it so. False when the server refused that: the monitor
// may be dark. Elsewhere than on X11 just runs change.
bool X11_SwitchOneOutput(SDL_Window *window, int display, int width, int height,
                         const std::function<void()> &change);

// Runs change, SDL's way back to the desktop's mode (the window out of
// full screen or destroyed), with X errors caught: on several monitors
// SDL's step may be refused, and the guardian puts the desktop back after.
// Elsewhere than on X11 just runs change.
void X11_LeaveOutputMode(SDL_Window *window, const std::function<void()> &change);
