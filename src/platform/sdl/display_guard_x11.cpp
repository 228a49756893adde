// The display guardian on X11: gives the desktop its mode back however the game ends.

#include "platform/sdl/display_guard.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

// What the game says to the guardian, one byte each. The guardian answers
// the ones the game waits for with an ack byte.
enum : char {
    commandBeforeChange = 'P', // read the desktop's mode now; ack
    commandChanged = 'S',      // read the game's mode now
    commandRestored = 'R',     // make sure the desktop has its mode; ack
    answerDone = 'A',
};

// The game never waits longer for the guardian than this: a guardian that
// hangs (an X server that stopped answering) must not hang the game.
static constexpr int answerWaitMs = 1000;

// [SECTION] The game's side

struct GuardLink {
    pid_t pid = -1;       // the guardian; -1 when there is none
    int   commandFd = -1; // write end of the command pipe
    int   answerFd = -1;  // read end of the answer pipe
};

static GuardLink guard;

// Also run in every process forked from the game later (SDL forks one for
// a message box): without our ends of the pipes there, the guardian hears
// of the game's end when the game ends, not when that child does.
static void ForgetGuard()
{
    if (guard.commandFd >= 0)
        close(guard.commandFd);
    if (guard.answerFd >= 0)
        close(guard.answerFd);
    guard = GuardLink{};
}

static void Tell(char command, bool waitForAnswer)
{
    if (guard.pid < 0)
        return;
    // SIGPIPE is ignored, so a guardian that has gone shows as an error here
    ssize_t written;
    do
        written = write(guard.commandFd, &command, 1);
    while (written < 0 && errno == EINTR);
    if (written != 1) {
        ForgetGuard();
        return;
    }
    if (!waitForAnswer)
        return;
    pollfd ready{guard.answerFd, POLLIN, 0};
    int polled;
    do
        polled = poll(&ready, 1, answerWaitMs);
    while (polled < 0 && errno == EINTR);
    char answer = 0;
    if (polled != 1 || read(guard.answerFd, &answer, 1) != 1 || answer != answerDone)
        ForgetGuard();
}

void Guard_BeforeModeChange()
{
    Tell(commandBeforeChange, true);
}

void Guard_ModeChanged()
{
    Tell(commandChanged, false);
}

void Guard_ModeRestored()
{
    Tell(commandRestored, true);
}

pid_t Guard_Pid()
{
    return guard.pid;
}

// [SECTION] The guardian's side

// One CRTC's part of a screen setting: which mode it shows where, on which
// outputs.
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

enum class Phase { Idle, Changing, Changed };

struct Guardian {
    Display      *display = nullptr;
    int           widthMm = 0; // the screen's size in mm when we connected
    int           heightMm = 0;
    int           widthAtConnect = 0;
    int           heightAtConnect = 0;
    Phase         phase = Phase::Idle;
    ScreenSetting desktop; // the mode to come back to
    ScreenSetting game;    // the mode the game changed to
};

// Whatever the server says about one request, the guardian goes on: the
// worst case is a mode it could not put back.
static int IgnoreXError(Display *, XErrorEvent *)
{
    return 0;
}

// The X server has gone, and with it the display mode: nothing to restore.
static int LeaveOnXIOError(Display *)
{
    _exit(0);
}

static bool Connect(Guardian &guardian)
{
    if (guardian.display)
        return true;
    guardian.display = XOpenDisplay(nullptr);
    if (!guardian.display)
        return false;
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(guardian.display, &eventBase, &errorBase)) {
        XCloseDisplay(guardian.display);
        guardian.display = nullptr;
        return false;
    }
    const int screen = DefaultScreen(guardian.display);
    guardian.widthMm = DisplayWidthMM(guardian.display, screen);
    guardian.heightMm = DisplayHeightMM(guardian.display, screen);
    guardian.widthAtConnect = DisplayWidth(guardian.display, screen);
    guardian.heightAtConnect = DisplayHeight(guardian.display, screen);
    return true;
}

static ScreenSetting ReadSetting(Display *display)
{
    ScreenSetting setting;
    const Window root = DefaultRootWindow(display);
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources)
        return setting;
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
        setting.crtcs.push_back(crtc);
        XRRFreeCrtcInfo(info);
    }
    XRRFreeScreenResources(resources);
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

// Puts the desktop's setting back the way xrandr would: CRTCs that change
// are switched off first when the screen changes size, so that every CRTC
// fits the screen at every step; then the size, then the CRTCs.
static void RestoreDesktop(Guardian &guardian, const ScreenSetting &now)
{
    Display     *display = guardian.display;
    const Window root = DefaultRootWindow(display);
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources)
        return;
    const ScreenSetting &desktop = guardian.desktop;
    const bool resize = now.width != desktop.width || now.height != desktop.height;
    std::vector<const CrtcSetting *> changing;
    for (const CrtcSetting &crtc : desktop.crtcs) {
        const CrtcSetting *current = FindCrtc(now, crtc.crtc);
        if (!current || !(*current == crtc))
            changing.push_back(&crtc);
    }
    if (resize) {
        for (const CrtcSetting *crtc : changing)
            XRRSetCrtcConfig(display, resources, crtc->crtc, CurrentTime, 0, 0, None, RR_Rotate_0,
                             nullptr, 0);
        // The millimetres we saw at the start belong to the size we saw then
        int widthMm = guardian.widthMm, heightMm = guardian.heightMm;
        if (desktop.width != guardian.widthAtConnect || desktop.height != guardian.heightAtConnect ||
            widthMm <= 0 || heightMm <= 0) {
            // 96 dots per inch
            widthMm = desktop.width * 254 / 960;
            heightMm = desktop.height * 254 / 960;
        }
        XRRSetScreenSize(display, root, desktop.width, desktop.height, widthMm, heightMm);
    }
    for (const CrtcSetting *crtc : changing) {
        std::vector<RROutput> outputs = crtc->outputs;
        XRRSetCrtcConfig(display, resources, crtc->crtc, CurrentTime, crtc->x, crtc->y, crtc->mode,
                         crtc->rotation, outputs.data(), static_cast<int>(outputs.size()));
    }
    XRRFreeScreenResources(resources);
    XSync(display, False);
}

// The game has given the mode back, or has gone: where the screen still has
// the game's mode (or a change was cut short), the desktop gets its own.
// A mode the player chose since is left alone.
static void Settle(Guardian &guardian)
{
    if (guardian.phase == Phase::Idle || !guardian.display || !guardian.desktop.known)
        return;
    const ScreenSetting now = ReadSetting(guardian.display);
    if (now.known && !(now == guardian.desktop)) {
        const bool stillGame = guardian.phase == Phase::Changing || now == guardian.game;
        if (stillGame)
            RestoreDesktop(guardian, now);
    }
    guardian.phase = Phase::Idle;
}

static void Answer(int answerFd)
{
    const char done = answerDone;
    const ssize_t written = write(answerFd, &done, 1);
    (void)written;
}

[[noreturn]] static void RunGuardian(int commandFd, int answerFd)
{
    prctl(PR_SET_NAME, "quarvel-guard");
    // Ctrl+C, Ctrl+\ and a closing terminal reach the whole process group;
    // the guardian stays until the game itself has gone.
    signal(SIGINT, SIG_IGN);
    signal(SIGQUIT, SIG_IGN);
    signal(SIGHUP, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);

    // Nothing of the game's but the two pipes: a stderr pipe held open here
    // would keep whoever reads the game's stderr waiting after the game ends.
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
    }
    dup2(commandFd, 3);
    dup2(answerFd, 4);
    commandFd = 3;
    answerFd = 4;
    close_range(5, ~0U, 0);

    XSetErrorHandler(IgnoreXError);
    XSetIOErrorHandler(LeaveOnXIOError);

    Guardian guardian;
    for (;;) {
        char command = 0;
        const ssize_t got = read(commandFd, &command, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != 1)
            break; // the game has gone
        switch (command) {
        case commandBeforeChange:
            if (Connect(guardian)) {
                // After an F1 back to full screen the desktop may have a
                // mode the player chose in between: that one comes back.
                guardian.desktop = ReadSetting(guardian.display);
                guardian.game = ScreenSetting{};
                guardian.phase = Phase::Changing;
            }
            Answer(answerFd);
            break;
        case commandChanged:
            if (guardian.display && guardian.phase != Phase::Idle) {
                guardian.game = ReadSetting(guardian.display);
                guardian.phase = Phase::Changed;
            }
            break;
        case commandRestored:
            Settle(guardian);
            Answer(answerFd);
            break;
        default:
            break;
        }
    }
    Settle(guardian);
    _exit(0);
}

void Guard_Start()
{
    if (guard.pid >= 0)
        return;
    // XRandR needs an X display; SDL uses another video driver only when
    // told to.
    const char *display = std::getenv("DISPLAY");
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    if (!display || !*display || (driver && *driver && std::strcmp(driver, "x11") != 0))
        return;

    int commands[2], answers[2];
    if (pipe2(commands, O_CLOEXEC) != 0)
        return;
    if (pipe2(answers, O_CLOEXEC) != 0) {
        close(commands[0]);
        close(commands[1]);
        return;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(commands[1]);
        close(answers[0]);
        RunGuardian(commands[0], answers[1]);
    }
    close(commands[0]);
    close(answers[1]);
    if (child < 0) {
        close(commands[1]);
        close(answers[0]);
        return;
    }
    guard.pid = child;
    guard.commandFd = commands[1];
    guard.answerFd = answers[0];

    static bool childHookSet = false;
    if (!childHookSet && pthread_atfork(nullptr, nullptr, ForgetGuard) == 0)
        childHookSet = true;
}
