#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

typedef struct _XDisplay Display;

// A private headless Wayland compositor with one 1280 x 1024 output and its
// XWayland, each in its own D-Bus session (dbus-run-session), started from
// the programs found on PATH. It dies with this process's test run: Stop
// (or the destructor) ends its whole process group.
class Compositor {
public:
    enum class Kind {
        Mutter, // mutter --headless --wayland --virtual-monitor 1280x1024
        Kwin,   // kwin_wayland --virtual --xwayland, run from a plain copy:
                // the packaged one carries a file capability that a
                // container may refuse to exec
    };

    explicit Compositor(Kind kind) : kind(kind) {}
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
    const char        *Name() const { return kind == Kind::Mutter ? "mutter" : "kwin_wayland"; }
    const std::string &WaylandDisplay() const { return socketName; } // in RuntimeDir
    const std::string &RuntimeDir() const { return runtime; }
    const std::string &XDisplayName() const { return xDisplay; }     // ":N"
    const std::string &XAuthority() const { return xAuthority; }     // may be empty
    const std::string &BusAddress() const { return bus; }            // its D-Bus session
    Display           *XConnection() const { return display; }
    // What the compositor wrote so far, for failure messages.
    std::string Log() const;
    // The environment of a client of this session: ours with its
    // XDG_RUNTIME_DIR, WAYLAND_DISPLAY, DISPLAY and XAUTHORITY.
    std::vector<std::string> SessionEnvironment() const;

private:
    bool FindXWayland(std::string &error);

    Kind        kind;
    pid_t       pid = -1;          // dbus-run-session, leader of the group
    std::string scratch;           // a directory for its files
    std::string runtime;           // its XDG_RUNTIME_DIR
    std::string socketName;
    std::string xDisplay;
    std::string xAuthority;
    std::string bus;
    Display    *display = nullptr; // our connection to its XWayland
};
