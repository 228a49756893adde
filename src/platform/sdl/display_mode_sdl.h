#pragma once

// Leaves full screen and shows the cursor again if the game changed them;
// what every way out of the program needs before SDL goes down. The rest of
// display_mode_sdl.cpp is the seam's (video.h): the display mode and the
// cursor.
void Sdl_RestoreForExit();

// SDL's index of the monitor the player means: the primary (SDL's first),
// or the one F1's window was last on while it is still there. Full screen
// goes there, and F1's window opens at its top left corner.
int Sdl_PlayersDisplay();
