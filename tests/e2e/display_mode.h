#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <X11/Xlib.h>

// The display mode as XRandR reports it: the mode of the CRTC that drives
// the connected output, and the size of the screen (the root window).
struct DisplayMode {
    int width = 0, height = 0;             // the CRTC's mode; 0 when none
    int screenWidth = 0, screenHeight = 0; // the root window

    std::string Describe() const; // "800x600 on an 800x600 screen"
};

// The desktop of the mode-switching server (xorg-dummy.conf).
constexpr int desktopWidth = 1280;
constexpr int desktopHeight = 1024;
// The desktop of its small screen (XServer::Kind::XorgDummyFallbackOnly),
// which offers 640x480 and no 800x600.
constexpr int smallDesktopWidth = 1024;
constexpr int smallDesktopHeight = 768;

DisplayMode ReadDisplayMode(Display *display);
// Waits at most timeoutMs until both the mode and the screen are
// width x height.
::testing::AssertionResult ShowsDisplayMode(Display *display, int width, int height,
                                            int timeoutMs);
// Sets a mode of the connected output through XRandR, as xrandr does (a
// player's own choice, or the desktop's 1280x1024 put back after a test
// that left it otherwise).
bool SetDisplayMode(Display *display, int width, int height);
bool SetDesktopMode(Display *display);

// A mode of the test's own, 1104x800 (no built-in mode has that size), added
// to the connected output as xrandr --newmode and --addmode do; None when the
// server refuses it.
constexpr int ownModeWidth = 1104;
constexpr int ownModeHeight = 800;
XID AddOwnMode(Display *display);
// Takes it off the output (xrandr --delmode) while it is not shown.
bool TakeOwnModeOffOutput(Display *display, XID mode);
// Takes it off the output if it is still there, and destroys it.
void DestroyOwnMode(Display *display, XID mode);

// [SECTION] Two monitors, through the xrandr program

// Runs xrandr on the display with args; its stdout in output when given.
// False when it fails.
bool RunXrandr(const std::string &displayName, const std::vector<std::string> &args,
               std::string *output = nullptr);
// Lights the second monitor of the mode-switching Xorg: DUMMY1 1280x1024 at
// 0,0 and the primary, DUMMY0, 1280x1024 right of it (the dummy offers no
// mode larger than its configured screen).
bool LightTwoMonitors(const std::string &displayName);
// xrandr's lines of those monitors as the desktop has them: the primary is
// not the one at 0,0.
constexpr const char *otherMonitor = "DUMMY1 connected 1280x1024+0+0";
constexpr const char *primaryMonitor = "DUMMY0 connected primary 1280x1024+1280+0";
// Everything XRandR tells of the display (xrandr --verbose: the screen,
// every output with its modes, CRTC, place and properties), without the
// timestamps that every change moves on, even one put back.
std::string XrandrState(const std::string &displayName);
// Waits at most timeoutMs until xrandr's line of every output named shows
// what is given, as in {"DUMMY0 connected primary 800x600+1280+0", ...}.
::testing::AssertionResult ShowsOutputs(const std::string &displayName,
                                        const std::vector<std::string> &lines, int timeoutMs);
// Waits at most timeoutMs until XrandrState is state.
::testing::AssertionResult ShowsXrandrState(const std::string &displayName,
                                            const std::string &state, int timeoutMs);
