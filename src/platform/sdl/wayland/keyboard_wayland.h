#pragma once

struct SDL_Window;
struct wl_display;

// The game's own wl_keyboard beside SDL's, on SDL's connection, to carry a
// key held through F1's window change into the next window as auto-repeat:
// SDL 2.26 lets its repeat stop with the old window.

// Starts the watch with the first window. Does nothing off Wayland.
void Wayland_WatchKeys(SDL_Window *window);
// Posts the due repeats of a key carried through a window change; before
// SDL's events are read.
void Wayland_RepeatKeys();
// Lets go of the watch; before SDL_Quit closes the connection under it.
void Wayland_Stop();

// SDL's Wayland connection behind a window; null off Wayland.
wl_display *Wayland_DisplayOf(SDL_Window *window);
