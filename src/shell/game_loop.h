#pragma once

// Opens the window, starts a game and runs frames until the window is
// closed or Escape is pressed; then writes the statistics and closes down.
// Returns the exit code: 0 after a normal end, 1 when the window could not
// be opened (at start or after F1).
int RunGame();
