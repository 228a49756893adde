#include "pacing_play.h"

#include <cstdio>

#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "autoplay.h"
#include "child_process.h"
#include "first_frame.h"

// How long F1 stays down: one key-down message, long before auto-repeat.
static constexpr double f1HoldMs = 30.0;
// Between the switch to a window and the switch back.
static constexpr double f1BackMs = 2000.0;

// Gives the keyboard focus to every window of the game that is mapped;
// without a window manager nobody else does, and F1 makes a new window.
static void FocusMappedWindows(Display *display, FILE *events)
{
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && !event.xmap.override_redirect) {
            XSetInputFocus(display, event.xmap.window, RevertToPointerRoot, CurrentTime);
            XFlush(display);
            std::fprintf(events, "mapped %.0f\n", NowMs() * 1e6);
        }
    }
}

static void SendF1(Display *display, unsigned keycode, bool down, FILE *events)
{
    XTestFakeKeyEvent(display, keycode, down ? True : False, CurrentTime);
    XFlush(display);
    std::fprintf(events, "key f1 %s %.0f\n", down ? "down" : "up", NowMs() * 1e6);
}

int PlayForPacing(Display *display, const PacingScript &script, char *const argv[],
                  const char *stderrPath, const char *eventsPath)
{
    if (!HasXTest(display)) {
        std::fprintf(stderr, "quarvel-probe: the X server has no XTest extension\n");
        return 1;
    }
    FILE *events = std::fopen(eventsPath, "w");
    if (!events) {
        std::fprintf(stderr, "quarvel-probe: cannot write %s\n", eventsPath);
        return 1;
    }
    WatchForWindows(display);
    const pid_t child = StartChild(argv, nullptr, stderrPath);
    if (child < 0) {
        std::fclose(events);
        return 1;
    }
    int status = 0;
    long maxRssKb = 0;
    double mappedAtMs = 0.0;
    const Window window = WaitForMappedWindow(display, NowMs() + 10000.0, mappedAtMs);
    if (window == None) {
        std::fprintf(stderr, "quarvel-probe: no window mapped within 10 s\n");
        StopChild(child, 5000, status, maxRssKb);
        std::fclose(events);
        return 1;
    }
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    std::fprintf(events, "mapped %.0f\n", mappedAtMs * 1e6);

    const unsigned f1 = XKeysymToKeycode(display, XK_F1);
    // F1 down, up, and the same again on the way back, in ms from the start
    const double f1Ms[4] = {script.f1AtSeconds * 1000.0, script.f1AtSeconds * 1000.0 + f1HoldMs,
                            script.f1AtSeconds * 1000.0 + f1BackMs,
                            script.f1AtSeconds * 1000.0 + f1BackMs + f1HoldMs};
    int f1Next = script.f1AtSeconds > 0.0 ? 0 : 4;

    AutoPlayer player(display, events);
    const double tickMs = script.spray ? 10.0 : 100.0;
    const double startMs = NowMs();
    std::fprintf(events, "start %.0f\n", startMs * 1e6);
    bool ended = false;
    for (long tick = 0;; ++tick) {
        const double atMs = startMs + static_cast<double>(tick) * tickMs;
        if (atMs >= startMs + script.seconds * 1000.0)
            break;
        while (NowMs() < atMs) {
            FocusMappedWindows(display, events);
            if (f1Next < 4 && NowMs() >= startMs + f1Ms[f1Next]) {
                SendF1(display, f1, f1Next % 2 == 0, events);
                ++f1Next;
            }
            usleep(500);
        }
        if (script.spray)
            player.Spray(tick);
        else
            player.Tick(tick);
        if (waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "quarvel-probe: the program ended during play\n");
            ended = true;
            break;
        }
    }
    if (!ended)
        player.ReleaseAll();
    std::fprintf(events, "end %.0f\n", NowMs() * 1e6);
    std::fclose(events);
    if (ended)
        return 1;
    return StopChild(child, 5000, status, maxRssKb) ? 0 : 1;
}
