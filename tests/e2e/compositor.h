#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

typedef struct _XDisplay Display;

class Picture;

// A private headless Wayland compositor with one output and its XWayland,
// each in its own D-Bus session (dbus-run-session), started from the
// programs found on PATH. It dies with this process's test run: Stop (or
// the destructor) ends its whole process group.
class Compositor {
public:
    enum class Kind {
        Mutter, // mutter --headless --wayland --virtual-monitor WxH, its
                // scale set through its display configuration on D-Bus
        Kwin,   // kwin_wayland --virtual --xwayland --scale S, run from a
                // plain copy: the packaged one carries a file capability
                // that a container may refuse to exec; kwin 6 takes the
                // scale from its output settings file; X clients scale
                // themselves, as Plasma's setting for them offers
        Sway,   // sway on wlroots' headless backend, as user nobody (it
                // refuses root), without XWayland; its seat has no keyboard
    };
    // The output in device pixels, and its scale: 2560 x 1440 at scale 2
    // is a desktop of 1280 x 720 logical units.
    struct Output {
        int width;
        int height;
        int scale;
    };

    // besideAnother (sway only): a 1920x1080 output comes first, left of
    // this one, and the focus is on this one, where sway puts new windows
    // (a desktop with two monitors, the player working on the second)
    Compositor(Kind kind, Output output, bool besideAnother = false)
        : kind(kind), output(output), besideAnother(besideAnother)
    {
    }
    ~Compositor();
    Compositor(const Compositor &) = delete;
    Compositor &operator=(const Compositor &) = delete;

    // The programs it needs that are not on PATH; empty when all are.
    std::vector<std::string> MissingPrograms() const;
    // Starts it and connects to its XWayland. On failure error says why.
    bool Start(std::string &error);
    // Ends it and removes its files; safe to call twice.
    void Stop();
    // It still runs and a new Wayland client still gets an answer from it
    // and a new X client from its XWayland; false, with why, otherwise.
    bool Alive(std::string &why);

    Kind               CompositorKind() const { return kind; }
    const Output      &OutputSize() const { return output; }
    const char        *Name() const;
    // "kwin_wayland 2560x1440 at scale 2", for messages and file names
    std::string        Describe() const;
    bool               HasXWayland() const { return kind != Kind::Sway; }
    const std::string &WaylandDisplay() const { return socketName; } // in RuntimeDir
    const std::string &RuntimeDir() const { return runtime; }
    const std::string &XDisplayName() const { return xDisplay; }     // ":N"
    const std::string &XAuthority() const { return xAuthority; }     // may be empty
    const std::string &BusAddress() const { return bus; }            // its D-Bus session
    Display           *XConnection() const { return display; }
    bool               Running() const { return pid > 0; }
    // What the compositor shows on its output, in device pixels: kwin's
    // ScreenShot2 D-Bus call, grim on sway. mutter shows no client its
    // output (it would take PipeWire and its ScreenCast): false, with why.
    bool ReadOutput(Picture &picture, std::string &why) const;
    // Whether ReadOutput can ever read it: not on mutter, nor on a kwin
    // that composites without OpenGL (kwin 6's virtual output where there
    // is no GPU), whose screenshot effect is not supported.
    bool ShowsItsOutput() const;
    // What the compositor wrote so far, for failure messages.
    std::string Log() const;
    // The environment of a client of this session: ours with its
    // XDG_RUNTIME_DIR, WAYLAND_DISPLAY, DISPLAY and XAUTHORITY.
    std::vector<std::string> SessionEnvironment() const;

private:
    bool FindXWayland(std::string &error);
    bool FindSwaySocket();
    // The output the game is tried on, by sway's name for it
    std::string SwayOutputName() const { return besideAnother ? "HEADLESS-2" : "HEADLESS-1"; }
    // Gives that output the focus (swaymsg); on failure error says why
    bool FocusSwayOutput(std::string &error);
    // mutter starts its virtual monitor at scale 1: asks its display
    // configuration for the output's scale
    bool ApplyMutterScale(std::string &error);
    // kwin takes its scale from --scale (5) or from its output settings
    // (6): checks that its output has the scale asked for
    bool CheckKwinScale(std::string &error);

    Kind        kind;
    Output      output;
    bool        besideAnother;
    pid_t       pid = -1;          // dbus-run-session, leader of the group
    std::string scratch;           // a directory for its files
    std::string runtime;           // its XDG_RUNTIME_DIR
    std::string socketName;
    std::string xDisplay;
    std::string xAuthority;
    std::string bus;
    Display    *display = nullptr; // our connection to its XWayland
    int         kwinMajor = 0;     // kwin's major version, once started; 0 if unknown
    mutable int kwinShowsOutput = -1; // its answer to ShowsItsOutput, -1 until it gave one
};
