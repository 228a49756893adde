#pragma once

#include <cstdio>
#include <functional>

#include <X11/Xlib.h>

// A player for whole-program runs: the game's keys pressed through XTest
// in a fixed rhythm of 100 ms ticks. Space every other tick, four seconds
// of turning left and one of right in every six, half a second of thrust
// every five seconds, a second of shield every seven, a hyperspace jump
// every fifteen. Never Escape, F1, F2 or F3.
class AutoPlayer {
public:
    // With a keyLog, every press and release is written there as
    // "key NAME down|up NS" (CLOCK_MONOTONIC ns) as it is sent.
    explicit AutoPlayer(Display *display, FILE *keyLog = nullptr);
    // Keys sent another way (a Wayland compositor's own input): send gets
    // the key's Linux evdev code and whether it goes down.
    using KeySender = std::function<void(int evdev, bool down)>;
    explicit AutoPlayer(KeySender send, FILE *keyLog = nullptr);
    ~AutoPlayer();

    // Sets the keys for tick number tick (0, 1, 2, ... every 100 ms).
    void Tick(long tick);
    // The heaviest play found: Left held throughout, so the shots spray
    // all round, and Space pressed on even ticks and released on odd ones
    // (ticks of 10 ms: up to 50 shots a second, as bullets allow).
    void Spray(long tick);
    // Lets go of every key this player holds.
    void ReleaseAll();

private:
    void Hold(int index, bool down);

    Display  *display = nullptr; // XTest's server, or null
    KeySender send;              // or the other way
    FILE     *keyLog;            // where presses are logged, or null
    unsigned keycodes[6] = {};  // space, left, right, up, z, down
    bool     held[6] = {};
};

// Whether the server has the XTest extension.
bool HasXTest(Display *display);
