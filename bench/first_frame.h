#pragma once

#include <X11/Xlib.h>

// Watching a program's window on an X server from outside it. The root
// window must be black (Xvfb -br) and the program's window must cover the
// lower-left corner of the screen, where the game prints its score.

// Asks to hear of windows mapped on the screen; call before starting the
// program.
void   WatchForWindows(Display *display);
// The next top-level window mapped, or None by deadlineMs (NowMs clock).
Window WaitForMappedWindow(Display *display, double deadlineMs, double &mappedAtMs);
// Polls the lower-left corner until a pixel there is not black: the first
// frame has been swapped onto the screen. False at deadlineMs.
bool   WaitForDrawnCorner(Display *display, double deadlineMs, double &drawnAtMs);
// Polls until the corner is black again (the window has gone).
bool   WaitForBlackCorner(Display *display, double deadlineMs);

// Starts argv runs times, and for each prints the milliseconds from the
// start to the window's mapping and to the first frame on the screen,
// then stops it. Prints the medians. 0, or 1 when a run failed.
int    ProbeStartup(Display *display, int runs, char *const argv[], const char *stderrPath);
