// The mode guardian's own process on X11: gives the desktop its mode back
// however the game ends. The game starts it and talks to it through two
// pipes (process/mode_guardian.cpp); this is the other end.

#include "platform/x11/mode_guardian_x11.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include "platform/x11/screen_setting_x11.h"
#include "platform/x11/x_error_trap.h"

// Idle: the screen has the desktop's mode. Changing: the game is switching.
// Changed: the game has its own mode (or is away from it for a while,
// minimised, and SDL switches back as it returns).
enum class Phase { Idle, Changing, Changed };

struct Guardian {
    std::string   displayName;     // the X display the game runs on
    Display      *display = nullptr;
    int           randrEvents = 0; // XRandR's first event code
    ScreenSize    atConnect;       // the screen when we connected
    Phase         phase = Phase::Idle;
    ScreenSetting desktop;          // the mode to come back to
    ScreenSetting game;             // the mode the game changed to
    ScreenSetting shown;            // while Changed: the screen as its events tell it
    ScreenSetting away;             // while Changed: the last whole setting not the game's
    bool          showingGame = false; // while Changed: the screen shows the game's mode
    bool          restoreNoted = false; // the game's own restore began on the game's mode
};

// The X server has gone, and with it the display mode: nothing to restore.
static int LeaveOnXIOError(Display *)
{
    _exit(0);
}

static bool Connect(Guardian &guardian)
{
    if (guardian.display)
        return true;
    guardian.display = XOpenDisplay(guardian.displayName.c_str());
    if (!guardian.display)
        return false;
    int errorBase = 0;
    if (!XRRQueryExtension(guardian.display, &guardian.randrEvents, &errorBase)) {
        XCloseDisplay(guardian.display);
        guardian.display = nullptr;
        return false;
    }
    const int screen = DefaultScreen(guardian.display);
    guardian.atConnect.widthMm = DisplayWidthMM(guardian.display, screen);
    guardian.atConnect.heightMm = DisplayHeightMM(guardian.display, screen);
    guardian.atConnect.width = DisplayWidth(guardian.display, screen);
    guardian.atConnect.height = DisplayHeight(guardian.display, screen);
    // SDL switches by itself as the game is minimised and comes back: the
    // guardian follows every change of the screen
    XRRSelectInput(guardian.display, DefaultRootWindow(guardian.display),
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    return true;
}

// Puts the desktop's setting back. Where the server refuses a step (the
// desktop's mode was taken off its output meanwhile, a monitor changed),
// what the screen showed before comes back instead: a lit monitor in the
// game's mode beats a dark one.
static void RestoreDesktop(Guardian &guardian, const ScreenSetting &before)
{
    if (!Apply(guardian.display, guardian.atConnect, guardian.desktop))
        Apply(guardian.display, guardian.atConnect, before);
}

// The game has given the mode back, or has gone: where the screen still has
// the game's mode (or had it as the game's own restore began, or a change
// was cut short), the desktop gets its own. A mode the player chose while
// the game's was not showing is left alone.
static void Settle(Guardian &guardian)
{
    if (guardian.phase != Phase::Idle && guardian.display && guardian.desktop.known) {
        const ScreenSetting now = ReadSetting(guardian.display);
        const bool          stillGame = guardian.phase == Phase::Changing ||
                               guardian.restoreNoted || now == guardian.game;
        if (now.known && !(now == guardian.desktop) && stillGame)
            RestoreDesktop(guardian, now);
    }
    guardian.phase = Phase::Idle;
    guardian.restoreNoted = false;
}

// One change of the screen, as its event tells it, while the game has its
// mode. The events are taken in order, each for the setting it made: the
// guardian sees every step, however soon the next one came. When the screen
// comes back to the game's mode (SDL, as the minimised game returns), the
// last whole setting it showed before is the one to come back to: the
// desktop's, or one the player chose while the game was away.
static void Follow(Guardian &guardian, const XEvent &event)
{
    if (guardian.phase != Phase::Changed)
        return;
    ScreenSetting &shown = guardian.shown;
    if (event.type == guardian.randrEvents + RRScreenChangeNotify) {
        const auto &screen = reinterpret_cast<const XRRScreenChangeNotifyEvent &>(event);
        // The size before rotation, as RandR 1.1 has it
        const bool sideways = screen.rotation & (RR_Rotate_90 | RR_Rotate_270);
        shown.width = sideways ? screen.height : screen.width;
        shown.height = sideways ? screen.width : screen.height;
    } else if (event.type == guardian.randrEvents + RRNotify) {
        const auto &notify = reinterpret_cast<const XRRNotifyEvent &>(event);
        if (notify.subtype == RRNotify_CrtcChange) {
            const auto  &change = reinterpret_cast<const XRRCrtcChangeNotifyEvent &>(event);
            CrtcSetting &crtc = CrtcOf(shown, change.crtc);
            crtc.mode = change.mode;
            crtc.x = change.x;
            crtc.y = change.y;
            crtc.rotation = change.rotation;
            if (crtc.mode == None)
                TurnOff(crtc);
        } else if (notify.subtype == RRNotify_OutputChange) {
            const auto &change = reinterpret_cast<const XRROutputChangeNotifyEvent &>(event);
            for (CrtcSetting &crtc : shown.crtcs)
                crtc.outputs.erase(
                    std::remove(crtc.outputs.begin(), crtc.outputs.end(), change.output),
                    crtc.outputs.end());
            if (change.crtc != None) {
                std::vector<RROutput> &outputs = CrtcOf(shown, change.crtc).outputs;
                outputs.insert(std::upper_bound(outputs.begin(), outputs.end(), change.output),
                               change.output);
            }
        } else
            return;
    } else
        return;

    if (shown == guardian.game) {
        if (!guardian.showingGame && guardian.away.known)
            guardian.desktop = guardian.away;
        guardian.showingGame = true;
    } else if (LightsAllOf(shown, guardian.game)) {
        guardian.away = shown;
        guardian.showingGame = false;
    }
}

static void Answer()
{
    const char done = guardAnswerDone;
    const ssize_t written = write(guardAnswerFd, &done, 1);
    (void)written;
}

static void Obey(Guardian &guardian, char command)
{
    switch (command) {
    case guardBeforeChange:
        if (Connect(guardian)) {
            // After an F1 back to full screen the desktop may have a
            // mode the player chose in between: that one comes back.
            guardian.desktop = ReadSetting(guardian.display);
            guardian.game = ScreenSetting{};
            guardian.phase = Phase::Changing;
            guardian.restoreNoted = false;
        }
        Answer();
        break;
    case guardChanged:
        if (guardian.display && guardian.phase != Phase::Idle) {
            // The events of the game's own switch may not all have been
            // taken yet; each tells of a step on the way (the old screen
            // size with the CRTC still lit, a dark CRTC), and followed from
            // here one would pass for the desktop's. The switch was done
            // before the game sent this, so a round trip brings in every
            // one of them, and they go by while the change is under way.
            XSync(guardian.display, False);
            while (XPending(guardian.display) > 0) {
                XEvent event;
                XNextEvent(guardian.display, &event);
                Follow(guardian, event);
            }
            guardian.game = ReadSetting(guardian.display);
            guardian.shown = guardian.game;
            guardian.away = guardian.desktop;
            guardian.showingGame = true;
            guardian.phase = Phase::Changed;
        }
        break;
    case guardBeforeRestore:
        // SDL puts back the mode it saw at its start, not the one the
        // desktop had before this change: Settle corrects it afterwards
        if (guardian.display && guardian.phase == Phase::Changed)
            guardian.restoreNoted = ReadSetting(guardian.display) == guardian.game;
        Answer();
        break;
    case guardRestored:
        Settle(guardian);
        Answer();
        break;
    default:
        break;
    }
}

void Guardian_Run(const char *displayName)
{
    prctl(PR_SET_NAME, "quarvel-guard");
    // Ctrl+C, Ctrl+\ and a closing terminal reach the whole process group;
    // the guardian stays until the game itself has gone. The game held
    // them back until now.
    signal(SIGINT, SIG_IGN);
    signal(SIGQUIT, SIG_IGN);
    signal(SIGHUP, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    // Nothing of the game's but the two pipes, which came above 2: a stderr
    // pipe held open here would keep whoever reads the game's stderr
    // waiting after the game ends.
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
    }
    close_range(guardAnswerFd + 1, ~0U, 0);

    // A refused request is counted, not the guardian's end: it goes on
    // whatever the server says, and the steps that must work check
    const XErrorTrap errors;
    XSetIOErrorHandler(LeaveOnXIOError);

    Guardian guardian;
    guardian.displayName = displayName;
    for (;;) {
        // Events Xlib has read already do not wake poll
        while (guardian.display && XPending(guardian.display) > 0) {
            XEvent event;
            XNextEvent(guardian.display, &event);
            Follow(guardian, event);
        }
        pollfd ready[2] = {{guardCommandFd, POLLIN, 0},
                           {guardian.display ? ConnectionNumber(guardian.display) : -1, POLLIN, 0}};
        if (poll(ready, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (ready[1].revents)
            XEventsQueued(guardian.display, QueuedAfterReading);
        if (!ready[0].revents)
            continue;
        char command = 0;
        const ssize_t got = read(guardCommandFd, &command, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != 1)
            break; // the game has gone
        Obey(guardian, command);
    }
    Settle(guardian);
    _exit(0);
}
