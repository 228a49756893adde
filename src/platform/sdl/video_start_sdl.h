#pragma once

// Starts SDL's video once, and with it what depends on the display: which
// display system the game is on (sdl.display, decided here and nowhere
// else), the display's claim for this game, and on X11 the mode guardian.
// A second start on a display that has a game already asks that game to
// come to the front and ends the program with 0. False, said once on
// stderr, when there is no video to be had; later calls then fail at once.
bool Sdl_StartVideo();
