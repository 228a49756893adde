#pragma once

#include <string>

// The display system the game is shown on, decided once by the backend
// from the video driver it started; the parts that depend on it are handed
// this instead of guessing from the environment themselves.

enum class DisplaySystem {
    Other,   // a driver that shows nothing (the tests' offscreen one) or one we do not know
    X11,     // an X server: the game changes its mode and the guardian keeps it
    Wayland, // a compositor: the output keeps its mode, the game's window is scaled
};

struct DisplayServer {
    DisplaySystem system = DisplaySystem::Other;
    // The display as its clients name it: DISPLAY's value on X11 (":1",
    // "unix:1.0"), the socket's path on Wayland; empty where none.
    std::string   name;
};
