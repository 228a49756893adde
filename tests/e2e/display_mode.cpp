#include "display_mode.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

#include <X11/extensions/Xrandr.h>

#include "spawn.h"

std::string DisplayMode::Describe() const
{
    return std::to_string(width) + "x" + std::to_string(height) + " on a " +
           std::to_string(screenWidth) + "x" + std::to_string(screenHeight) + " screen";
}

// The CRTC of the first connected output that has one; None when there is
// none. With output, that output, or the first connected one when none is
// lit.
static RRCrtc ConnectedCrtc(Display *display, XRRScreenResources *resources,
                            RROutput *output = nullptr)
{
    if (output)
        *output = None;
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo *info = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (!info)
            continue;
        const bool   connected = info->connection == RR_Connected;
        const RRCrtc crtc = connected ? info->crtc : None;
        XRRFreeOutputInfo(info);
        if (output && connected && (crtc != None || *output == None))
            *output = resources->outputs[i];
        if (crtc != None)
            return crtc;
    }
    return None;
}

DisplayMode ReadDisplayMode(Display *display)
{
    DisplayMode mode;
    Window root = None;
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    // Asked of the server: Xlib's DisplayWidth is the size at connection
    if (XGetGeometry(display, DefaultRootWindow(display), &root, &x, &y, &width, &height, &border,
                     &depth)) {
        mode.screenWidth = static_cast<int>(width);
        mode.screenHeight = static_cast<int>(height);
    }
    XRRScreenResources *resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources)
        return mode;
    if (const RRCrtc crtc = ConnectedCrtc(display, resources)) {
        if (XRRCrtcInfo *info = XRRGetCrtcInfo(display, resources, crtc)) {
            for (int i = 0; i < resources->nmode; ++i)
                if (resources->modes[i].id == info->mode) {
                    mode.width = static_cast<int>(resources->modes[i].width);
                    mode.height = static_cast<int>(resources->modes[i].height);
                }
            XRRFreeCrtcInfo(info);
        }
    }
    XRRFreeScreenResources(resources);
    return mode;
}

::testing::AssertionResult ShowsDisplayMode(Display *display, int width, int height,
                                            int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const DisplayMode mode = ReadDisplayMode(display);
        if (mode.width == width && mode.height == height && mode.screenWidth == width &&
            mode.screenHeight == height)
            return ::testing::AssertionSuccess();
        if (Clock::now() >= deadline)
            return ::testing::AssertionFailure()
                   << "the display shows " << mode.Describe() << ", not " << width << "x"
                   << height << ", " << timeoutMs << " ms on";
        poll(nullptr, 0, 10);
    }
}

bool SetDisplayMode(Display *display, int width, int height)
{
    const Window root = DefaultRootWindow(display);
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources)
        return false;
    bool set = false;
    RRMode wanted = None;
    for (int i = 0; i < resources->nmode; ++i)
        if (static_cast<int>(resources->modes[i].width) == width &&
            static_cast<int>(resources->modes[i].height) == height)
            wanted = resources->modes[i].id;
    RROutput output = None;
    RRCrtc   crtc = ConnectedCrtc(display, resources, &output);
    // A dark output (a test that failed) gets the first CRTC it can have
    if (crtc == None && output != None)
        if (XRROutputInfo *info = XRRGetOutputInfo(display, resources, output)) {
            crtc = info->ncrtc > 0 ? info->crtcs[0] : None;
            XRRFreeOutputInfo(info);
        }
    if (wanted != None && crtc != None) {
        // The CRTC goes dark while the screen takes the new size, so that it
        // fits the screen at every step. Millimetres as at 96 dots per inch.
        XRRSetCrtcConfig(display, resources, crtc, CurrentTime, 0, 0, None, RR_Rotate_0, nullptr,
                         0);
        XRRSetScreenSize(display, root, width, height, width * 254 / 960, height * 254 / 960);
        set = XRRSetCrtcConfig(display, resources, crtc, CurrentTime, 0, 0, wanted, RR_Rotate_0,
                               &output, 1) == RRSetConfigSuccess;
        XSync(display, False);
    }
    XRRFreeScreenResources(resources);
    return set;
}

bool SetDesktopMode(Display *display)
{
    return SetDisplayMode(display, desktopWidth, desktopHeight);
}

// Refusals come as X errors, which the tests' handler ignores: the count
// says whether there were any.
static int ownModeErrors = 0;

static int CountError(Display *, XErrorEvent *)
{
    ownModeErrors += 1;
    return 0;
}

// Runs the requests of change, then says whether the server took them all.
template <typename Change>
static bool Refused(Display *display, Change change)
{
    XSync(display, False);
    ownModeErrors = 0;
    const XErrorHandler previous = XSetErrorHandler(CountError);
    change();
    XSync(display, False);
    XSetErrorHandler(previous);
    return ownModeErrors > 0;
}

// The output that shows the desktop; None when there is none.
static RROutput ConnectedOutput(Display *display)
{
    XRRScreenResources *resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources)
        return None;
    RROutput output = None;
    ConnectedCrtc(display, resources, &output);
    XRRFreeScreenResources(resources);
    return output;
}

XID AddOwnMode(Display *display)
{
    const RROutput output = ConnectedOutput(display);
    if (output == None)
        return None;
    // Timings within the dummy monitor's ranges (xorg-dummy.conf)
    char name[] = "quarvel-e2e-own";
    XRRModeInfo *info = XRRAllocModeInfo(name, static_cast<int>(sizeof name - 1));
    info->width = ownModeWidth;
    info->height = ownModeHeight;
    info->dotClock = 70000000;
    info->hSyncStart = 1150;
    info->hSyncEnd = 1250;
    info->hTotal = 1400;
    info->vSyncStart = 803;
    info->vSyncEnd = 809;
    info->vTotal = 833;
    info->modeFlags = RR_HSyncNegative | RR_VSyncPositive;
    RRMode mode = None;
    const bool refused = Refused(display, [&]() {
        mode = XRRCreateMode(display, DefaultRootWindow(display), info);
        if (mode != None)
            XRRAddOutputMode(display, output, mode);
    });
    XRRFreeModeInfo(info);
    if (refused && mode != None) {
        DestroyOwnMode(display, mode);
        return None;
    }
    return mode;
}

bool TakeOwnModeOffOutput(Display *display, XID mode)
{
    const RROutput output = ConnectedOutput(display);
    return output != None &&
           !Refused(display, [&]() { XRRDeleteOutputMode(display, output, mode); });
}

void DestroyOwnMode(Display *display, XID mode)
{
    TakeOwnModeOffOutput(display, mode);
    Refused(display, [&]() { XRRDestroyMode(display, mode); });
}

bool RunXrandr(const std::string &displayName, const std::vector<std::string> &args,
               std::string *output)
{
    char path[] = "/tmp/quarvel-e2e-xrandr-XXXXXX";
    const int file = mkstemp(path);
    if (file < 0)
        return false;
    unlink(path);
    std::vector<std::string> argv{"xrandr", "-display", displayName};
    argv.insert(argv.end(), args.begin(), args.end());
    SpawnOptions options;
    options.stdoutFd = file;
    const pid_t pid = Spawn(argv, options);
    int status = -1;
    if (pid > 0)
        waitpid(pid, &status, 0);
    if (output) {
        output->clear();
        char buffer[4096];
        ssize_t got;
        lseek(file, 0, SEEK_SET);
        while ((got = read(file, buffer, sizeof buffer)) > 0)
            output->append(buffer, static_cast<size_t>(got));
    }
    close(file);
    return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool LightTwoMonitors(const std::string &displayName)
{
    // The dummy's second output offers no mode until it is given some
    for (const char *mode : {"1280x1024", "800x600", "640x480"})
        if (!RunXrandr(displayName, {"--addmode", "DUMMY1", mode}))
            return false;
    return RunXrandr(displayName, {"--output", "DUMMY1", "--mode", "1280x1024", "--pos", "0x0",
                                   "--output", "DUMMY0", "--mode", "1280x1024", "--pos",
                                   "1280x0", "--primary"});
}

std::string XrandrState(const std::string &displayName)
{
    std::string report;
    if (!RunXrandr(displayName, {"--verbose"}, &report))
        return "xrandr --verbose failed";
    std::istringstream lines(report);
    std::string state, line;
    while (std::getline(lines, line))
        if (line.find("Timestamp:") == std::string::npos)
            state += line + "\n";
    return state;
}

::testing::AssertionResult ShowsOutputs(const std::string &displayName,
                                        const std::vector<std::string> &lines, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::string report;
        RunXrandr(displayName, {}, &report);
        bool all = true;
        for (const std::string &line : lines)
            all = all && ("\n" + report).find("\n" + line + " ") != std::string::npos;
        if (all)
            return ::testing::AssertionSuccess();
        if (Clock::now() >= deadline)
            return ::testing::AssertionFailure() << "xrandr shows, " << timeoutMs
                                                 << " ms on:\n" << report;
        poll(nullptr, 0, 50);
    }
}

::testing::AssertionResult ShowsXrandrState(const std::string &displayName,
                                            const std::string &state, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::string now = XrandrState(displayName);
        if (now == state)
            return ::testing::AssertionSuccess();
        if (Clock::now() >= deadline)
            return ::testing::AssertionFailure() << "xrandr --verbose shows, " << timeoutMs
                                                 << " ms on:\n" << now << "not:\n" << state;
        poll(nullptr, 0, 50);
    }
}
