#pragma once

struct SDL_Window;

// Writes "video: ", what happened and the window's state (SDL's driver, the
// window's and its drawable's size, full screen or not, the display's mode)
// to stderr, where QUARVEL_VIDEO_LOG is set to 1: what the end-to-end tests
// read where no display server can show them the game's window.
void Sdl_LogVideo(SDL_Window *window, const char *what);
