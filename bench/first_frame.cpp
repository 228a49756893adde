#include "first_frame.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <X11/Xutil.h>
#include <unistd.h>

#include "child_process.h"

// The corner the score is printed in: "Score: 0" stands 3 overlay units
// from the lower-left corner, 24 pixels high.
static constexpr int cornerWidth = 240;
static constexpr int cornerHeight = 48;
// Between two looks at the screen; bounds the error of each time.
static constexpr useconds_t pollUs = 500;

void WatchForWindows(Display *display)
{
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
}

Window WaitForMappedWindow(Display *display, double deadlineMs, double &mappedAtMs)
{
    while (NowMs() < deadlineMs) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect) {
                mappedAtMs = NowMs();
                return event.xmap.window;
            }
        }
        usleep(pollUs);
    }
    return None;
}

// Whether any pixel of the lower-left corner has colour.
static bool CornerHasColour(Display *display)
{
    const Window root = DefaultRootWindow(display);
    const int screenHeight = DisplayHeight(display, DefaultScreen(display));
    XImage *image = XGetImage(display, root, 0, screenHeight - cornerHeight, cornerWidth,
                              cornerHeight, AllPlanes, ZPixmap);
    if (!image)
        return false;
    bool coloured = false;
    for (int y = 0; y < cornerHeight && !coloured; ++y)
        for (int x = 0; x < cornerWidth && !coloured; ++x)
            coloured = (XGetPixel(image, x, y) & 0xFFFFFFu) != 0;
    XDestroyImage(image);
    return coloured;
}

bool WaitForDrawnCorner(Display *display, double deadlineMs, double &drawnAtMs)
{
    while (NowMs() < deadlineMs) {
        if (CornerHasColour(display)) {
            drawnAtMs = NowMs();
            return true;
        }
        usleep(pollUs);
    }
    return false;
}

bool WaitForBlackCorner(Display *display, double deadlineMs)
{
    while (NowMs() < deadlineMs) {
        if (!CornerHasColour(display))
            return true;
        usleep(pollUs * 4);
    }
    return false;
}

static double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

int ProbeStartup(Display *display, int runs, char *const argv[], const char *stderrPath)
{
    if (!WaitForBlackCorner(display, NowMs() + 2000.0)) {
        std::fprintf(stderr,
                     "quarvel-probe: the screen's corner is not black: start Xvfb with -br\n");
        return 1;
    }
    std::vector<double> mapTimes, frameTimes;
    for (int run = 1; run <= runs; ++run) {
        WatchForWindows(display);
        const double startMs = NowMs();
        const pid_t child = StartChild(argv, nullptr, stderrPath);
        if (child < 0) {
            std::fprintf(stderr, "quarvel-probe: cannot start %s\n", argv[0]);
            return 1;
        }
        double mappedAtMs = 0.0, drawnAtMs = 0.0;
        const double deadline = startMs + 10000.0;
        const bool mapped = WaitForMappedWindow(display, deadline, mappedAtMs) != None;
        const bool drawn = mapped && WaitForDrawnCorner(display, deadline, drawnAtMs);
        int status = 0;
        long maxRssKb = 0;
        StopChild(child, 5000, status, maxRssKb);
        XSelectInput(display, DefaultRootWindow(display), NoEventMask);
        XSync(display, True);
        if (!drawn) {
            std::fprintf(stderr, "quarvel-probe: run %d: %s within 10 s\n", run,
                         mapped ? "no frame on the screen" : "no window mapped");
            return 1;
        }
        mapTimes.push_back(mappedAtMs - startMs);
        frameTimes.push_back(drawnAtMs - startMs);
        std::printf("run %d map_ms %.1f frame_ms %.1f\n", run, mapTimes.back(), frameTimes.back());
        WaitForBlackCorner(display, NowMs() + 5000.0);
    }
    std::printf("startup_map_ms %.1f\nstartup_frame_ms %.1f\nstartup_frame_ms_min %.1f\n",
                Median(mapTimes), Median(frameTimes),
                *std::min_element(frameTimes.begin(), frameTimes.end()));
    return 0;
}
