#pragma once

// Leaves full screen and shows the cursor again if the game changed them;
// what every way out of the program needs before SDL goes down. The rest of
// display_mode_sdl.cpp is the seam's (video.h): the display mode and the
// cursor.
void Sdl_RestoreForExit();
