// An X display's screen setting through XRandR: read in one piece, put back
// step by step as xrandr would.

#include "platform/x11/screen_setting_x11.h"

#include <algorithm>

#include "platform/x11/x_error_trap.h"

void TurnOff(CrtcSetting &crtc)
{
    crtc.mode = None;
    crtc.x = crtc.y = 0;
    crtc.rotation = RR_Rotate_0;
    crtc.outputs.clear();
}

// The screen's setting, read in one piece: the server is held while it is
// read, so that another client's change cannot land half way through.
ScreenSetting ReadSetting(Display *display)
{
    ScreenSetting setting;
    const Window root = DefaultRootWindow(display);
    XGrabServer(display);
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources) {
        XUngrabServer(display);
        XFlush(display);
        return setting;
    }
    Window parent;
    int x, y;
    unsigned width = 0, height = 0, border, depth;
    XGetGeometry(display, root, &parent, &x, &y, &width, &height, &border, &depth);
    setting.width = static_cast<int>(width);
    setting.height = static_cast<int>(height);
    for (int i = 0; i < resources->ncrtc; ++i) {
        XRRCrtcInfo *info = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (!info)
            continue;
        CrtcSetting crtc;
        crtc.crtc = resources->crtcs[i];
        crtc.mode = info->mode;
        crtc.x = info->x;
        crtc.y = info->y;
        crtc.rotation = info->rotation;
        crtc.outputs.assign(info->outputs, info->outputs + info->noutput);
        std::sort(crtc.outputs.begin(), crtc.outputs.end());
        if (crtc.mode == None)
            TurnOff(crtc);
        setting.crtcs.push_back(crtc);
        XRRFreeCrtcInfo(info);
    }
    XRRFreeScreenResources(resources);
    XUngrabServer(display);
    XFlush(display);
    setting.known = true;
    return setting;
}

static const CrtcSetting *FindCrtc(const ScreenSetting &setting, RRCrtc crtc)
{
    for (const CrtcSetting &candidate : setting.crtcs)
        if (candidate.crtc == crtc)
            return &candidate;
    return nullptr;
}

// The CRTC's part of setting, added (off) when it has none yet.
CrtcSetting &CrtcOf(ScreenSetting &setting, RRCrtc crtc)
{
    for (CrtcSetting &candidate : setting.crtcs)
        if (candidate.crtc == crtc)
            return candidate;
    setting.crtcs.push_back(CrtcSetting{});
    setting.crtcs.back().crtc = crtc;
    return setting.crtcs.back();
}

// Every output lit in other is lit in setting. A switch (SDL's, xrandr's)
// passes through settings with the output dark; those are no one's mode.
bool LightsAllOf(const ScreenSetting &setting, const ScreenSetting &other)
{
    for (const CrtcSetting &crtc : other.crtcs) {
        if (crtc.mode == None)
            continue;
        for (const RROutput output : crtc.outputs) {
            bool lit = false;
            for (const CrtcSetting &candidate : setting.crtcs)
                for (const RROutput shown : candidate.outputs)
                    lit = lit || (candidate.mode != None && shown == output);
            if (!lit)
                return false;
        }
    }
    return true;
}

// One CRTC set, and whether the server took it.
static bool SetCrtc(Display *display, XRRScreenResources *resources, const CrtcSetting &crtc)
{
    std::vector<RROutput> outputs = crtc.outputs;
    return XRRSetCrtcConfig(display, resources, crtc.crtc, CurrentTime, crtc.x, crtc.y, crtc.mode,
                            crtc.rotation, outputs.data(), static_cast<int>(outputs.size())) ==
           RRSetConfigSuccess;
}

// Puts a setting on the screen the way xrandr would: CRTCs that change are
// switched off first when the screen changes size, so that every CRTC fits
// the screen at every step; then the size, then the CRTCs. False at the
// first step the server refuses; the screen may be dark then.
bool Apply(Display *display, const ScreenSize &atConnect, const ScreenSetting &target)
{
    const Window root = DefaultRootWindow(display);
    const ScreenSetting now = ReadSetting(display);
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(display, root);
    if (!now.known || !resources) {
        if (resources)
            XRRFreeScreenResources(resources);
        return false;
    }
    const bool resize = now.width != target.width || now.height != target.height;
    std::vector<const CrtcSetting *> changing;
    for (const CrtcSetting &crtc : target.crtcs) {
        const CrtcSetting *current = FindCrtc(now, crtc.crtc);
        if (!current || !(*current == crtc))
            changing.push_back(&crtc);
    }
    bool applied = true;
    if (resize) {
        for (const CrtcSetting *crtc : changing) {
            CrtcSetting off{crtc->crtc, None, 0, 0, RR_Rotate_0, {}};
            applied = applied && SetCrtc(display, resources, off);
        }
        // The millimetres we saw at the start belong to the size we saw then
        int widthMm = atConnect.widthMm, heightMm = atConnect.heightMm;
        if (target.width != atConnect.width || target.height != atConnect.height ||
            widthMm <= 0 || heightMm <= 0) {
            // 96 dots per inch
            widthMm = target.width * 254 / 960;
            heightMm = target.height * 254 / 960;
        }
        // XRRSetScreenSize has no reply: a refusal comes as an error
        if (applied) {
            const XErrorTrap errors;
            XRRSetScreenSize(display, root, target.width, target.height, widthMm, heightMm);
            XSync(display, False);
            applied = !errors.Seen();
        }
    }
    for (const CrtcSetting *crtc : changing)
        applied = applied && SetCrtc(display, resources, *crtc);
    XRRFreeScreenResources(resources);
    XSync(display, False);
    return applied;
}

