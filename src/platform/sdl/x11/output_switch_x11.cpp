// SDL's switch of one X monitor, on a desktop of several.
//
// SDL switches a monitor as if it were the only one: it turns the monitor's
// CRTC off, makes the screen (the root window) the new mode's size and
// lights the CRTC again where it was. Beside a second monitor that goes
// wrong both ways. The screen cannot shrink around the other monitor: SDL
// ignores the refusal, and the switch works, but only by luck. Or it can,
// and the monitor that was not at 0,0 no longer fits in it: relighting is
// refused, the monitor stays dark and Xlib's default handler ends the game
// (measured: F1 back to a window with the primary 1920x1080 right of a
// 1280x1024 monitor at 0,0). So the game holds SDL's steps in an X error
// trap, then checks the screen against the one meant, and sets that itself
// where SDL did not.

#include "platform/sdl/x11/output_switch_x11.h"

#include <algorithm>
#include <cstdio>

#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include "platform/sdl/x11/connection_x11.h"
#include "platform/x11/screen_setting_x11.h"
#include "platform/x11/x_error_trap.h"

// A mode's size in pixels; 0 x 0 for a mode the server does not list.
static void ModeSize(const XRRScreenResources *resources, RRMode mode, int &width, int &height)
{
    width = height = 0;
    for (int i = 0; i < resources->nmode; ++i)
        if (resources->modes[i].id == mode) {
            width = static_cast<int>(resources->modes[i].width);
            height = static_cast<int>(resources->modes[i].height);
        }
}

// The lit CRTC that shows SDL's display: the one at its top left corner,
// the one of its size among several there (monitors that mirror). Null when
// none is.
static CrtcSetting *DisplaysCrtc(const XRRScreenResources *resources, ScreenSetting &setting,
                                 const SDL_Rect &bounds)
{
    CrtcSetting *found = nullptr;
    for (CrtcSetting &crtc : setting.crtcs) {
        if (crtc.mode == None || crtc.outputs.empty() || crtc.x != bounds.x || crtc.y != bounds.y)
            continue;
        int width, height;
        ModeSize(resources, crtc.mode, width, height);
        if (!found || (width == bounds.w && height == bounds.h))
            found = &crtc;
    }
    return found;
}

// A width x height mode the CRTC's first monitor offers: the one SDL would
// take too, the highest refresh; None when it offers none.
static RRMode OutputMode(Display *display, XRRScreenResources *resources,
                         const CrtcSetting &crtc, int width, int height)
{
    XRROutputInfo *output = XRRGetOutputInfo(display, resources, crtc.outputs.front());
    if (!output)
        return None;
    RRMode best = None;
    double bestRefresh = -1;
    for (int m = 0; m < output->nmode; ++m)
        for (int i = 0; i < resources->nmode; ++i) {
            const XRRModeInfo &mode = resources->modes[i];
            if (mode.id != output->modes[m] || static_cast<int>(mode.width) != width ||
                static_cast<int>(mode.height) != height)
                continue;
            const double dots = static_cast<double>(mode.hTotal) * mode.vTotal;
            const double refresh = dots > 0 ? mode.dotClock / dots : 0;
            if (refresh > bestRefresh) {
                best = mode.id;
                bestRefresh = refresh;
            }
        }
    XRRFreeOutputInfo(output);
    return best;
}

// Whether now is the setting meant: every CRTC as in meant, the switched
// one in any mode of the size asked, every lit one inside the screen.
static bool AsMeant(const XRRScreenResources *resources, const ScreenSetting &now,
                    const ScreenSetting &meant, RRCrtc switched, int width, int height)
{
    if (!now.known)
        return false;
    for (const CrtcSetting &crtc : meant.crtcs) {
        const CrtcSetting *shown = nullptr;
        for (const CrtcSetting &candidate : now.crtcs)
            if (candidate.crtc == crtc.crtc)
                shown = &candidate;
        if (!shown)
            return false;
        if (crtc.crtc != switched) {
            if (!(*shown == crtc))
                return false;
            continue;
        }
        int shownWidth, shownHeight;
        ModeSize(resources, shown->mode, shownWidth, shownHeight);
        if (shownWidth != width || shownHeight != height || shown->x != crtc.x ||
            shown->y != crtc.y || shown->rotation != crtc.rotation ||
            shown->outputs != crtc.outputs)
            return false;
    }
    for (const CrtcSetting &crtc : now.crtcs) {
        int crtcWidth, crtcHeight;
        ModeSize(resources, crtc.mode, crtcWidth, crtcHeight);
        if (crtc.mode != None &&
            (crtc.x + crtcWidth > now.width || crtc.y + crtcHeight > now.height))
            return false;
    }
    return true;
}

bool X11_SwitchOneOutput(SDL_Window *window, int display, int width, int height,
                         const std::function<void()> &change)
{
    Display *x = X11_Connection(window);
    SDL_Rect bounds{};
    if (!x || SDL_GetDisplayBounds(display, &bounds) != 0) {
        change();
        return true;
    }
    ScreenSetting meant = ReadSetting(x);
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(x, DefaultRootWindow(x));
    CrtcSetting *crtc = meant.known && resources ? DisplaysCrtc(resources, meant, bounds) : nullptr;
    const RRMode mode = crtc ? OutputMode(x, resources, *crtc, width, height) : None;
    {
        const XErrorTrap errors;
        change();
        XSync(x, False);
    }
    // A mode the monitor does not have is SDL's to refuse, as on one monitor
    if (mode == None) {
        if (resources)
            XRRFreeScreenResources(resources);
        return true;
    }
    crtc->mode = mode;
    const RRCrtc switched = crtc->crtc;
    // The screen grows where the new mode reaches past it, and never shrinks
    // under the other monitors
    for (const CrtcSetting &lit : meant.crtcs) {
        int litWidth, litHeight;
        ModeSize(resources, lit.mode, litWidth, litHeight);
        if (lit.mode != None) {
            meant.width = std::max(meant.width, lit.x + litWidth);
            meant.height = std::max(meant.height, lit.y + litHeight);
        }
    }
    const bool shown = AsMeant(resources, ReadSetting(x), meant, switched, width, height) ||
                       Apply(x, ScreenSize{}, meant);
    if (!shown)
        std::fputs("XRRSetCrtcConfig: the monitor's mode was refused\n", stderr);
    XRRFreeScreenResources(resources);
    return shown;
}

void X11_LeaveOutputMode(SDL_Window *window, const std::function<void()> &change)
{
    Display *x = X11_Connection(window);
    if (!x) {
        change();
        return;
    }
    const XErrorTrap errors;
    change();
    XSync(x, False);
}
