#include "display_mode.h"

#include <poll.h>

#include <chrono>

#include <X11/extensions/Xrandr.h>

std::string DisplayMode::Describe() const
{
    return std::to_string(width) + "x" + std::to_string(height) + " on a " +
           std::to_string(screenWidth) + "x" + std::to_string(screenHeight) + " screen";
}

// The CRTC of the first connected output that has one; None when there is
// none.
static RRCrtc ConnectedCrtc(Display *display, XRRScreenResources *resources)
{
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo *output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (!output)
            continue;
        const RRCrtc crtc = output->connection == RR_Connected ? output->crtc : None;
        XRRFreeOutputInfo(output);
        if (crtc != None)
            return crtc;
    }
    return None;
}

DisplayMode ReadDisplayMode(Display *display)
{
    DisplayMode mode;
    Window root = None;
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    // Asked of the server: Xlib's DisplayWidth is the size at connection
    if (XGetGeometry(display, DefaultRootWindow(display), &root, &x, &y, &width, &height, &border,
                     &depth)) {
        mode.screenWidth = static_cast<int>(width);
        mode.screenHeight = static_cast<int>(height);
    }
    XRRScreenResources *resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources)
        return mode;
    if (const RRCrtc crtc = ConnectedCrtc(display, resources)) {
        if (XRRCrtcInfo *info = XRRGetCrtcInfo(display, resources, crtc)) {
            for (int i = 0; i < resources->nmode; ++i)
                if (resources->modes[i].id == info->mode) {
                    mode.width = static_cast<int>(resources->modes[i].width);
                    mode.height = static_cast<int>(resources->modes[i].height);
                }
            XRRFreeCrtcInfo(info);
        }
    }
    XRRFreeScreenResources(resources);
    return mode;
}

::testing::AssertionResult ShowsDisplayMode(Display *display, int width, int height,
                                            int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const DisplayMode mode = ReadDisplayMode(display);
        if (mode.width == width && mode.height == height && mode.screenWidth == width &&
            mode.screenHeight == height)
            return ::testing::AssertionSuccess();
        if (Clock::now() >= deadline)
            return ::testing::AssertionFailure()
                   << "the display shows " << mode.Describe() << ", not " << width << "x"
                   << height << ", " << timeoutMs << " ms on";
        poll(nullptr, 0, 10);
    }
}

bool SetDisplayMode(Display *display, int width, int height)
{
    const Window root = DefaultRootWindow(display);
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources)
        return false;
    bool set = false;
    RRMode wanted = None;
    for (int i = 0; i < resources->nmode; ++i)
        if (static_cast<int>(resources->modes[i].width) == width &&
            static_cast<int>(resources->modes[i].height) == height)
            wanted = resources->modes[i].id;
    const RRCrtc crtc = ConnectedCrtc(display, resources);
    XRRCrtcInfo *info = crtc != None ? XRRGetCrtcInfo(display, resources, crtc) : nullptr;
    if (wanted != None && info && info->noutput > 0) {
        // The CRTC goes dark while the screen takes the new size, so that it
        // fits the screen at every step. Millimetres as at 96 dots per inch.
        XRRSetCrtcConfig(display, resources, crtc, CurrentTime, 0, 0, None, RR_Rotate_0, nullptr,
                         0);
        XRRSetScreenSize(display, root, width, height, width * 254 / 960, height * 254 / 960);
        set = XRRSetCrtcConfig(display, resources, crtc, CurrentTime, 0, 0, wanted,
                               info->rotation, info->outputs, info->noutput) == RRSetConfigSuccess;
        XSync(display, False);
    }
    if (info)
        XRRFreeCrtcInfo(info);
    XRRFreeScreenResources(resources);
    return set;
}

bool SetDesktopMode(Display *display)
{
    return SetDisplayMode(display, desktopWidth, desktopHeight);
}
