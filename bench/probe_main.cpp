// quarvel-probe: measures a whole program from outside it.
//
//   quarvel-probe startup [--runs N] [--stderr FILE] -- PROGRAM [ARGS]
//       under an X server with a black root: ms from the start to the
//       window's mapping and to its first frame on the screen.
//   quarvel-probe play [--seconds S] [--sample S] [--stderr FILE] -- PROGRAM [ARGS]
//       under an X server: waits for the window, plays the game's keys
//       through XTest for S seconds (60), samples the peak resident memory
//       every --sample seconds (10), then SIGTERM.
//   quarvel-probe pace --events FILE [--script waves|spray] [--seconds S]
//                      [--f1 S] [--stderr FILE] -- PROGRAM [ARGS]
//       under an X server: plays the waves script (AutoPlayer::Tick) or
//       the spray script (AutoPlayer::Spray) for S seconds (12), with F1
//       at S seconds and back 2 s later when --f1 is given, and logs what
//       it sent to FILE for the frame-pacing figures (pacing_play.h).
//   quarvel-probe peak [--stdout FILE] [--stderr FILE] -- PROGRAM [ARGS]
//       runs the program to its end.
//   quarvel-probe has-window-manager
//       exits 0 when a window manager manages screen 0 (owns WM_S0).
//
// The program's stdout goes to --stdout (appended), else nowhere; its
// stderr to --stderr (appended), else the probe's.
//
// Figures print as "NAME VALUE" lines on stdout.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <X11/Xlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "autoplay.h"
#include "child_process.h"
#include "first_frame.h"
#include "pacing_play.h"

static const char *const usage =
    "usage: quarvel-probe startup|play|pace|peak [--runs N] [--seconds S] [--sample S] "
    "[--script waves|spray] [--f1 S] [--events FILE] "
    "[--stdout FILE] [--stderr FILE] -- PROGRAM [ARGS]";

// A window can vanish between two requests (the game closes it while it is
// being watched); Xlib's default handler would end the probe for that.
static int IgnoreXError(Display *, XErrorEvent *)
{
    return 0;
}

static void PrintEnd(int status, long maxRssKb)
{
    std::printf("peak_rss_kb %ld\n", maxRssKb);
    if (WIFEXITED(status))
        std::printf("exit_status %d\n", WEXITSTATUS(status));
    else
        std::printf("exit_signal %d\n", WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

static int Play(Display *display, double seconds, double sampleSeconds, char *const argv[],
                const char *stderrPath)
{
    if (!HasXTest(display)) {
        std::fprintf(stderr, "quarvel-probe: the X server has no XTest extension\n");
        return 1;
    }
    WatchForWindows(display);
    const pid_t child = StartChild(argv, nullptr, stderrPath);
    if (child < 0)
        return 1;
    double mappedAtMs = 0.0;
    const Window window = WaitForMappedWindow(display, NowMs() + 10000.0, mappedAtMs);
    int status = 0;
    long maxRssKb = 0;
    if (window == None) {
        std::fprintf(stderr, "quarvel-probe: no window mapped within 10 s\n");
        StopChild(child, 5000, status, maxRssKb);
        return 1;
    }
    // Keys go to the focus; without a window manager nobody else sets it.
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);

    AutoPlayer player(display);
    const double startMs = NowMs();
    double nextSampleMs = startMs + sampleSeconds * 1000.0;
    for (long tick = 0;; ++tick) {
        const double tickMs = startMs + static_cast<double>(tick) * 100.0;
        if (tickMs >= startMs + seconds * 1000.0)
            break;
        while (NowMs() < tickMs)
            usleep(1000);
        if (NowMs() >= nextSampleMs) {
            std::printf("hwm_kb_at_s %.0f %ld\n", (NowMs() - startMs) * 0.001,
                        ReadPeakResidentKb(child));
            std::fflush(stdout);
            nextSampleMs += sampleSeconds * 1000.0;
        }
        player.Tick(tick);
        if (waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "quarvel-probe: the program ended during play\n");
            return 1;
        }
    }
    player.ReleaseAll();
    std::printf("hwm_kb_at_s %.0f %ld\n", (NowMs() - startMs) * 0.001, ReadPeakResidentKb(child));
    const bool stopped = StopChild(child, 5000, status, maxRssKb);
    PrintEnd(status, maxRssKb);
    return stopped ? 0 : 1;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "%s\n", usage);
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "has-window-manager") {
        Display *display = XOpenDisplay(nullptr);
        if (!display)
            return 1;
        const Window owner = XGetSelectionOwner(display, XInternAtom(display, "WM_S0", False));
        XCloseDisplay(display);
        return owner != None ? 0 : 1;
    }
    int runs = 5;
    double seconds = 60.0, sampleSeconds = 10.0;
    const char *stdoutPath = nullptr;
    const char *stderrPath = nullptr;
    const char *eventsPath = nullptr;
    PacingScript pacing;
    bool secondsGiven = false;
    int i = 2;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; i += 2) {
        const std::string option = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value) {
            std::fprintf(stderr, "quarvel-probe: %s needs a value; %s\n", argv[i], usage);
            return 2;
        }
        // A number must be the whole value
        char *end = nullptr;
        if (option == "--runs") {
            runs = static_cast<int>(std::strtol(value, &end, 10));
        } else if (option == "--seconds") {
            seconds = std::strtod(value, &end);
            secondsGiven = true;
        } else if (option == "--script") {
            if (std::strcmp(value, "waves") != 0 && std::strcmp(value, "spray") != 0) {
                std::fprintf(stderr, "quarvel-probe: no script %s; %s\n", value, usage);
                return 2;
            }
            pacing.spray = std::strcmp(value, "spray") == 0;
        } else if (option == "--f1") {
            pacing.f1AtSeconds = std::strtod(value, &end);
        } else if (option == "--events") {
            eventsPath = value;
        } else if (option == "--sample") {
            sampleSeconds = std::strtod(value, &end);
        } else if (option == "--stdout") {
            stdoutPath = value;
        } else if (option == "--stderr") {
            stderrPath = value;
        } else {
            std::fprintf(stderr, "quarvel-probe: unknown option %s; %s\n", argv[i], usage);
            return 2;
        }
        if ((end && *end != '\0') || runs < 1 || !(seconds > 0.0) || !(sampleSeconds > 0.0) ||
            !(pacing.f1AtSeconds >= 0.0)) {
            std::fprintf(stderr, "quarvel-probe: bad value for %s; %s\n", argv[i], usage);
            return 2;
        }
    }
    if (i + 1 >= argc ||
        (mode != "startup" && mode != "play" && mode != "pace" && mode != "peak") ||
        (mode == "pace" && !eventsPath)) {
        std::fprintf(stderr, "%s\n", usage);
        return 2;
    }
    char *const *program = argv + i + 1;

    if (mode == "peak") {
        const pid_t child = StartChild(program, stdoutPath, stderrPath);
        int status = 0;
        long maxRssKb = 0;
        if (child < 0 || !WaitChild(child, status, maxRssKb))
            return 1;
        PrintEnd(status, maxRssKb);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
    }

    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "quarvel-probe: cannot open display %s\n",
                     std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "(DISPLAY unset)");
        return 1;
    }
    XSetErrorHandler(IgnoreXError);
    if (secondsGiven)
        pacing.seconds = seconds;
    const int result = mode == "startup" ? ProbeStartup(display, runs, program, stderrPath)
        : mode == "pace" ? PlayForPacing(display, pacing, program, stderrPath, eventsPath)
                         : Play(display, seconds, sampleSeconds, program, stderrPath);
    XCloseDisplay(display);
    return result;
}
