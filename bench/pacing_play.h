#pragma once

#include <X11/Xlib.h>

// Scripted play for frame pacing: the game runs with its swaps timestamped
// from outside (libquarvel-frame-stamps.so, given in the program's own
// environment), and the probe writes what it sent and saw to an event log
// on the same clock (CLOCK_MONOTONIC ns):
//   start NS               the first key tick
//   key NAME down|up NS    every key sent
//   mapped NS              a window of the game was mapped (focus given)
//   end NS                 the last tick, before SIGTERM
struct PacingScript {
    bool   spray = false;    // AutoPlayer::Spray on 10 ms ticks, else Tick on 100 ms
    double seconds = 12.0;   // of play
    double f1AtSeconds = 0;  // F1 there and, 2 s later, back; 0 for none
};

// Starts argv, waits for its window, plays script, then SIGTERM. 0, or 1
// when the program could not be played to the end.
int PlayForPacing(Display *display, const PacingScript &script, char *const argv[],
                  const char *stderrPath, const char *eventsPath);
