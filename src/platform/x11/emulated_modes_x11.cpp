// What an X server says of its display modes: real, or emulated by XWayland.

#include "platform/x11/emulated_modes_x11.h"

#include <cstring>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

// XWayland says what it is in two ways: recent servers have the XWAYLAND
// extension; every one names its outputs XWAYLAND0, XWAYLAND1, ...
static bool NamesOutputsAsXWayland(Display *display)
{
    XRRScreenResources *resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources)
        return false;
    bool xwayland = resources->noutput > 0;
    for (int i = 0; i < resources->noutput && xwayland; ++i) {
        XRROutputInfo *output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        xwayland = output && std::strncmp(output->name, "XWAYLAND", 8) == 0;
        if (output)
            XRRFreeOutputInfo(output);
    }
    XRRFreeScreenResources(resources);
    return xwayland;
}

bool X11_ModesAreEmulated(const char *displayName)
{
    Display *display = XOpenDisplay(displayName && *displayName ? displayName : nullptr);
    if (!display)
        return false;
    int opcode = 0, event = 0, error = 0;
    int major = 0, minor = 0;
    const bool emulated =
        XQueryExtension(display, "XWAYLAND", &opcode, &event, &error) ||
        (XRRQueryVersion(display, &major, &minor) && (major > 1 || minor >= 2) &&
         NamesOutputsAsXWayland(display));
    XCloseDisplay(display);
    return emulated;
}
