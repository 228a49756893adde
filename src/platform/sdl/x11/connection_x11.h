#pragma once

struct SDL_Window;
typedef struct _XDisplay Display;

// SDL's connection to the X server, reached through the window; null off
// X11 or without a window.
Display *X11_Connection(SDL_Window *window);

// Waits for the X server's answers to everything SDL has sent for the
// window so far, their errors among them (held by an XErrorTrap). Does
// nothing off X11 or without a window.
void X11_Sync(SDL_Window *window);
