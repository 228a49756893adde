#pragma once

#include <X11/Xlib.h>

// A player for whole-program runs: the game's keys pressed through XTest
// in a fixed rhythm of 100 ms ticks. Space every other tick, four seconds
// of turning left and one of right in every six, half a second of thrust
// every five seconds, a second of shield every seven, a hyperspace jump
// every fifteen. Never Escape, F1, F2 or F3.
class AutoPlayer {
public:
    explicit AutoPlayer(Display *display);
    ~AutoPlayer();

    // Sets the keys for tick number tick (0, 1, 2, ... every 100 ms).
    void Tick(long tick);
    // Lets go of every key this player holds.
    void ReleaseAll();

private:
    void Hold(int index, bool down);

    Display *display;
    unsigned keycodes[6] = {};  // space, left, right, up, z, down
    bool     held[6] = {};
};

// Whether the server has the XTest extension.
bool HasXTest(Display *display);
