#pragma once

#include <string>

#include <sys/types.h>

typedef struct _XDisplay Display;

// A private X server and this process's connection to it. The server (and
// its window manager) die with this process even when it is killed.
class XServer {
public:
    enum class Kind {
        Xvfb,      // one 800 x 600 screen at 24 bits, the mode the game asks
                   // for, and no other
        XvfbNoGameMode, // one 1024 x 768 screen at 24 bits and no other:
                   // every mode the game asks for is refused
        XvfbFallbackOnly, // one 640 x 480 screen and no other: the game's
                   // fallback, and no 800 x 600 (the Wine tests' small desktop)
        XorgDummy, // Xorg's dummy driver (xorg-dummy.conf): a 1280 x 1024
                   // desktop that really switches to 800 x 600 or 640 x 480;
                   // needs root
        XorgDummyTwoMonitors, // the same with two monitors lit, each
                   // 1280 x 1024: DUMMY1 at 0,0 and the primary, DUMMY0,
                   // right of it at 1280,0
        XorgDummyFallbackOnly, // the dummy's "small" screen: a 1024 x 768
                   // desktop that really switches to 640 x 480, and offers no
                   // 800 x 600; needs root
    };

    // depth: the screen's bits per pixel (24 or 16) on Xvfb and on the
    // dummy's small screen; the other Xorg desktops are at 24
    explicit XServer(Kind kind = Kind::Xvfb, int depth = 24) : kind(kind), depth(depth) {}
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    // Starts the server on the first free display from :90 and connects to
    // it. On failure error says why.
    bool Start(std::string &error);
    // Stops the window manager, disconnects and stops the server; safe to
    // call twice.
    void Stop();

    // Starts openbox on the server and waits until it manages the screen.
    bool StartWindowManager(std::string &error);
    // Stops it; the windows it framed go back to the root.
    void StopWindowManager();

    Kind               ServerKind() const { return kind; }
    const std::string &DisplayName() const { return displayName; } // ":90"
    Display           *Connection() const { return display; }

private:
    // Runs the server on :number; false when it could not come up there,
    // with anotherDisplay false when it cannot come up anywhere (no such
    // program).
    bool StartOn(int number, std::string &error, bool &anotherDisplay);

    Kind        kind;
    int         depth;
    pid_t       pid = -1;          // the server process, -1 when none
    pid_t       managerPid = -1;   // openbox, -1 when none
    std::string scratch;           // a directory for the server's files
    std::string displayName;       // ":N" once it is up
    Display    *display = nullptr; // our connection, for the whole run
};
