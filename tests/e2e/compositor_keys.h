#pragma once

#include <memory>
#include <string>

#include "compositor.h"

// A keyboard on a compositor's seat, typing through a real input path of
// that compositor: XTest through its XWayland, mutter's RemoteDesktop
// D-Bus API (org.gnome.Mutter.RemoteDesktop) or kwin's fake-input protocol
// (org_kde_kwin_fake_input). Keys are Linux evdev key codes.
class CompositorKeys {
public:
    virtual ~CompositorKeys() = default;
    // Sends the key's press or release and waits until the compositor has
    // it; false, with why, when it could not.
    virtual bool Key(int evdev, bool down, std::string &why) = 0;
};

// Linux evdev key codes of the keys the tests type.
enum : int {
    evdevEscape = 1,
    evdevLeftShift = 42,
    evdevF1 = 59,
};

// The keyboard of the way the game is shown: XTest through XWayland when
// native is false, the compositor's own input path otherwise. Null, with
// why, when it cannot be had.
std::unique_ptr<CompositorKeys> OpenCompositorKeys(const Compositor &compositor, bool native,
                                                   std::string &why);
