#include "x_session.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

const char *const gameWindowTitle = "Quarvel - by Tobrenik";

using Clock = std::chrono::steady_clock;

static Clock::time_point Deadline(int timeoutMs)
{
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

// Nothing to wait on for a window's appearance that covers every case, so
// look again every 20 ms.
static void PauseBriefly()
{
    poll(nullptr, 0, 20);
}

// The UTF-8 _NET_WM_NAME when set, else WM_NAME.
static std::string WindowName(Display *display, Window window)
{
    std::string name;
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom           type = None;
    int            format = 0;
    unsigned long  count = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        if (type == utf8 && format == 8)
            name.assign(reinterpret_cast<char *>(data), count);
        XFree(data);
    }
    if (!name.empty())
        return name;
    char *plain = nullptr;
    if (XFetchName(display, window, &plain) && plain) {
        name = plain;
        XFree(plain);
    }
    return name;
}

// The process id a window's client put in _NET_WM_PID; 0 when absent.
static unsigned long WindowPid(Display *display, Window window)
{
    const Atom     netWmPid = XInternAtom(display, "_NET_WM_PID", False);
    Atom           type = None;
    int            format = 0;
    unsigned long  count = 0, after = 0, pid = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, window, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        if (type == XA_CARDINAL && format == 32 && count == 1)
            pid = *reinterpret_cast<unsigned long *>(data);
        XFree(data);
    }
    return pid;
}

static bool IsShown(Display *display, Window window)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) &&
           attributes.map_state == IsViewable;
}

static Window Search(Display *display, Window parent, const GameProcess &game,
                     const std::string &title)
{
    Window       root = None, up = None;
    Window      *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return None;
    std::vector<Window> list(children, children + count);
    if (children)
        XFree(children);
    for (const Window child : list) {
        if (WindowName(display, child) == title && IsShown(display, child)) {
            const unsigned long pid = WindowPid(display, child);
            if (pid == 0 || pid == static_cast<unsigned long>(game.Pid()))
                return child;
        }
        // A window manager would have framed the game's window
        if (const Window found = Search(display, child, game, title))
            return found;
    }
    return None;
}

Window FindWindowTitled(Display *display, const GameProcess &game, const std::string &title)
{
    return Search(display, DefaultRootWindow(display), game, title);
}

Window FindGameWindow(Display *display, const GameProcess &game)
{
    return FindWindowTitled(display, game, gameWindowTitle);
}

Window WaitForGameWindow(Display *display, GameProcess &game, int timeoutMs,
                         const std::function<bool(Window)> &accept)
{
    const Clock::time_point deadline = Deadline(timeoutMs);
    for (;;) {
        const Window window = FindGameWindow(display, game);
        if (window != None && (!accept || accept(window)))
            return window;
        if (Clock::now() >= deadline || game.WaitForExit(0))
            return None;
        PauseBriefly();
    }
}

void WatchWindow(Display *display, Window window)
{
    XSelectInput(display, window, StructureNotifyMask);
    XSync(display, False);
}

bool WaitForWindowGone(Display *display, Window window, int timeoutMs)
{
    const Clock::time_point deadline = Deadline(timeoutMs);
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if ((event.type == UnmapNotify && event.xunmap.window == window) ||
                (event.type == DestroyNotify && event.xdestroywindow.window == window))
                return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd events{ConnectionNumber(display), POLLIN, 0};
        poll(&events, 1, static_cast<int>(left));
    }
}

// Is inner window or one of its descendants?
static bool Within(Display *display, Window inner, Window window)
{
    while (inner != None && inner != PointerRoot) {
        if (inner == window)
            return true;
        Window root = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, inner, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        if (parent == root)
            return false;
        inner = parent;
    }
    return false;
}

bool WaitForFocus(Display *display, Window window, int timeoutMs)
{
    const Clock::time_point deadline = Deadline(timeoutMs);
    for (;;) {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        // With the focus following the pointer, keys go to the top-level
        // window under it.
        if (focus == PointerRoot) {
            Window root = None;
            int rootX = 0, rootY = 0, x = 0, y = 0;
            unsigned int mask = 0;
            XQueryPointer(display, DefaultRootWindow(display), &root, &focus, &rootX, &rootY, &x,
                          &y, &mask);
        }
        if (Within(display, focus, window) || Within(display, window, focus))
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool PointerHidden(Display *display)
{
    XFixesCursorImage *cursor = XFixesGetCursorImage(display);
    if (!cursor)
        return false;
    bool hidden = true;
    // Alpha in the top byte of each ARGB pixel
    for (int i = 0; i < cursor->width * cursor->height; ++i)
        hidden = hidden && (cursor->pixels[i] >> 24) == 0;
    XFree(cursor);
    return hidden;
}

bool AcceptsDeleteWindow(Display *display, Window window)
{
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom      *protocols = nullptr;
    int        count = 0;
    bool       found = false;
    if (XGetWMProtocols(display, window, &protocols, &count)) {
        for (int i = 0; i < count; ++i)
            found = found || protocols[i] == deleteWindow;
        XFree(protocols);
    }
    return found;
}

// A 32-bit client message of type messageType about window, with the first
// datum and the current time, sent to target with eventMask.
static void SendClientMessage(Display *display, Window window, const char *messageType,
                              long first, Window target, long eventMask)
{
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, messageType, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, target, False, eventMask, &event);
    XSync(display, False);
}

void SendDeleteWindow(Display *display, Window window)
{
    SendClientMessage(display, window, "WM_PROTOCOLS",
                      static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False)), window,
                      NoEventMask);
}

void ActivateWindow(Display *display, Window window)
{
    // From a pager (2): a window manager's focus-stealing rules let that through
    SendClientMessage(display, window, "_NET_ACTIVE_WINDOW", 2, DefaultRootWindow(display),
                      SubstructureRedirectMask | SubstructureNotifyMask);
}

long WindowState(Display *display, Window window)
{
    const Atom     wmState = XInternAtom(display, "WM_STATE", False);
    Atom           type = None;
    int            format = 0;
    unsigned long  count = 0, after = 0;
    unsigned char *data = nullptr;
    long           state = WithdrawnState;
    if (XGetWindowProperty(display, window, wmState, 0, 2, False, wmState, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        if (type == wmState && format == 32 && count >= 1)
            state = *reinterpret_cast<long *>(data);
        XFree(data);
    }
    return state;
}

bool WaitForWindowState(Display *display, Window window, long state, int timeoutMs)
{
    const Clock::time_point deadline = Deadline(timeoutMs);
    while (WindowState(display, window) != state) {
        if (Clock::now() >= deadline)
            return false;
        PauseBriefly();
    }
    return true;
}

static void FakeKey(Display *display, KeySym key, bool down)
{
    const KeyCode code = XKeysymToKeycode(display, key);
    XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
    // Once the server has answered, the event is on its way to the game
    XSync(display, False);
}

void PressKey(Display *display, KeySym key)
{
    FakeKey(display, key, true);
}

void ReleaseKey(Display *display, KeySym key)
{
    FakeKey(display, key, false);
}

// A fingerprint of the screen's pixels (FNV-1a over the raw image).
static uint64_t ScreenFingerprint(Display *display)
{
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XImage *image =
        XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    uint64_t hash = 14695981039346656037ull;
    const size_t size = static_cast<size_t>(image->bytes_per_line) * image->height;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ static_cast<unsigned char>(image->data[i])) * 1099511628211ull;
    XDestroyImage(image);
    return hash;
}

bool WaitForFrames(Display *display, int frames, int timeoutMs)
{
    const Clock::time_point deadline = Deadline(timeoutMs);
    uint64_t last = ScreenFingerprint(display);
    int changes = 0;
    while (changes < frames) {
        if (Clock::now() >= deadline)
            return false;
        const uint64_t now = ScreenFingerprint(display);
        if (now != last)
            ++changes;
        last = now;
    }
    return true;
}

Picture ReadFourByThree(Display *display, const std::function<Picture()> &read, int timeoutMs)
{
    Picture picture;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        if (!WaitForFrames(display, 2, timeoutMs))
            break;
        picture = read();
    } while (!ShowsFourByThreePicture(picture) && std::chrono::steady_clock::now() < deadline);
    return picture;
}

bool WaitForStillScreen(Display *display, int stillMs, int timeoutMs)
{
    const Clock::time_point deadline = Deadline(timeoutMs);
    uint64_t last = ScreenFingerprint(display);
    Clock::time_point since = Clock::now();
    for (;;) {
        if (Clock::now() - since >= std::chrono::milliseconds(stillMs))
            return true;
        if (Clock::now() >= deadline)
            return false;
        PauseBriefly();
        const uint64_t now = ScreenFingerprint(display);
        if (now != last)
            since = Clock::now();
        last = now;
    }
}

// F1 is let go as soon as the old window goes: held longer, the keyboard's
// auto-repeat would switch again.
Window SwitchWithF1Until(Display *display, GameProcess &game, Window window,
                         const std::function<bool(Window)> &isNew, int timeoutMs,
                         bool withoutAutoRepeat)
{
    WatchWindow(display, window);
    // A key sent before the window has the focus would be lost.
    if (!WaitForFocus(display, window, timeoutMs))
        return None;
    if (withoutAutoRepeat)
        XAutoRepeatOff(display);
    PressKey(display, XK_F1);
    const bool gone = WaitForWindowGone(display, window, timeoutMs);
    ReleaseKey(display, XK_F1);
    if (withoutAutoRepeat)
        XAutoRepeatOn(display);
    if (!gone)
        return None;
    return WaitForGameWindow(display, game, timeoutMs, isNew);
}

Window SwitchWithF1(Display *display, GameProcess &game, Window window, bool fullscreen,
                    int timeoutMs)
{
    return SwitchWithF1Until(display, game, window, [display, fullscreen](Window) {
        return PointerHidden(display) == fullscreen;
    }, timeoutMs);
}

::testing::AssertionResult EndsOnEscape(Display *display, GameProcess &game, int timeoutMs)
{
    PressKey(display, XK_Escape);
    const bool ended = game.WaitForExit(timeoutMs);
    ReleaseKey(display, XK_Escape);
    if (!ended)
        return ::testing::AssertionFailure() << "Escape did not end the game; " << game.Describe();
    if (game.KillSignal() != 0 || game.ExitCode() != 0)
        return ::testing::AssertionFailure() << "not a normal end; " << game.Describe();
    return ::testing::AssertionSuccess();
}

bool HoldKey(Display *display, KeySym key, int frames, int timeoutMs)
{
    PressKey(display, key);
    const bool seen = WaitForFrames(display, frames, timeoutMs);
    ReleaseKey(display, key);
    return seen;
}

// One channel of a pixel as 0..255, whatever its width: 8 bits at depth
// 24, 5 or 6 at depth 16 (full intensity reads 255 on both).
static uint8_t Channel(unsigned long value, unsigned long mask)
{
    if (!mask)
        return 0;
    while (!(mask & 1)) {
        mask >>= 1;
        value >>= 1;
    }
    return static_cast<uint8_t>((value & mask) * 255 / mask);
}

Picture ReadScreen(Display *display)
{
    return ReadWindow(display, DefaultRootWindow(display));
}

Picture ReadWindow(Display *display, Window window)
{
    Picture picture;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return picture;
    XImage *image =
        XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return picture;
    picture.width = image->width;
    picture.height = image->height;
    picture.pixels.resize(static_cast<size_t>(image->width) * image->height);
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x) {
            const unsigned long value = XGetPixel(image, x, y);
            picture.pixels[static_cast<size_t>(y) * image->width + x] =
                Rgb{Channel(value, image->red_mask), Channel(value, image->green_mask),
                    Channel(value, image->blue_mask)};
        }
    XDestroyImage(image);
    return picture;
}
