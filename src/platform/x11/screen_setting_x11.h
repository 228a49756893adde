#pragma once

#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

// A whole screen setting of an X display as XRandR has it, read in one
// piece and put back the way xrandr would: what the mode guardian keeps of
// the desktop and of the game.

// One CRTC's part of a screen setting: which mode it shows where, on which
// outputs (sorted). A CRTC that is off has no place, rotation or outputs.
struct CrtcSetting {
    RRCrtc                crtc = 0;
    RRMode                mode = None;
    int                   x = 0;
    int                   y = 0;
    Rotation              rotation = RR_Rotate_0;
    std::vector<RROutput> outputs;

    bool operator==(const CrtcSetting &) const = default;
};

struct ScreenSetting {
    bool                     known = false;
    int                      width = 0; // the screen (root window) in pixels
    int                      height = 0;
    std::vector<CrtcSetting> crtcs;

    bool operator==(const ScreenSetting &) const = default;
};

// The screen's size when the guardian connected, in pixels and in mm: the
// millimetres the server gave belong to that size only.
struct ScreenSize {
    int width = 0;
    int height = 0;
    int widthMm = 0;
    int heightMm = 0;
};

// Makes the CRTC's part of a setting "off".
void TurnOff(CrtcSetting &crtc);
// The screen's setting now; not known when the server has no resources.
ScreenSetting ReadSetting(Display *display);
// The CRTC's part of setting, added (off) when it has none yet.
CrtcSetting &CrtcOf(ScreenSetting &setting, RRCrtc crtc);
// Every output lit in other is lit in setting. A switch (SDL's, xrandr's)
// passes through settings with the output dark; those are no one's mode.
bool LightsAllOf(const ScreenSetting &setting, const ScreenSetting &other);
// Puts a setting on the screen; false at the first step the server
// refuses (the screen may be dark then).
bool Apply(Display *display, const ScreenSize &atConnect, const ScreenSetting &target);
