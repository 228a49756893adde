// The SDL backend's window class, display mode, window and OpenGL context.

#include "platform/video.h"

#include <cstdio>
#include <cstring>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include "platform/sdl/display_guard.h"
#include "platform/sdl/sdl_backend.h"
#include "system/debug_log.h"

// The opaque handles stand for the one window the game has at a time; a
// handle is valid while the state below says that thing exists.
struct VidModule {
    int unused;
};
struct VidWindow {
    int unused;
};
struct VidSurface {
    int unused;
};
struct VidGLContext {
    int unused;
};

SdlVideoState sdlVideo;

static VidModule    videoModule;
static VidWindow    gameWindow;
static VidSurface   gameSurface;
static VidGLContext gameContext;

// [SECTION] X errors while the GL driver sets up

// Without a usable OpenGL driver, Mesa's GLX requests fail with protocol
// errors while SDL makes the window (it tries a first GL context then) or
// the game's context. Xlib's default handler would end the game on the
// spot, with Xlib's words instead of ours and no release steps; caught
// here, they make the context step fail, and the game says so.
static int glSetUpErrors = 0; // X errors seen since the count was reset

static int CountXError(Display *, XErrorEvent *)
{
    glSetUpErrors += 1;
    return 0;
}

// Catches X errors while it lives; SyncX collects the errors of the
// requests sent so far.
class GlSetUpErrors {
public:
    GlSetUpErrors() : previous(XSetErrorHandler(CountXError)) { glSetUpErrors = 0; }
    ~GlSetUpErrors() { XSetErrorHandler(previous); }
    GlSetUpErrors(const GlSetUpErrors &) = delete;
    GlSetUpErrors &operator=(const GlSetUpErrors &) = delete;

    bool Seen() const { return glSetUpErrors > 0; }

private:
    XErrorHandler previous;
};

static void SyncX(SDL_Window *window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11)
        XSync(info.info.x11.display, False);
}

// Says on stderr which GL step failed, when SDL saw it succeed but it
// raised X errors.
static void ReportGlDriverFailure(const char *step)
{
    std::fprintf(stderr, "%s: the GL driver raised X errors\n", step);
}

// [SECTION] Window class

// SDL runs on its video driver of this name ("x11", "wayland", ...). Only
// on X11 does a full-screen window change the display's mode, and only
// there is a guardian to tell.
static bool DriverIs(const char *name)
{
    const char *driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, name) == 0;
}

// The longest a compositor may take to hold a new window full screen: at
// its first answer (mutter and kwin hold it by then), and once asked again.
static constexpr Uint32 waylandFirstAnswerMs = 250;
static constexpr Uint32 waylandSettleMs = 1000;

// The game's own words for it; no message box can show either then.
static void ReportNoDisplay()
{
    sdlVideo.noDisplay = true;
    std::fprintf(stderr, "Video unavailable: no display to open the window on "
                         "(DISPLAY and WAYLAND_DISPLAY are unset or unreachable)\n");
}

// Starts SDL video on a display the player can see. With no X or Wayland
// display SDL falls back to its offscreen driver, where the game would run
// unseen; that one (and the dummy one) only when named in SDL_VIDEODRIVER,
// as the tests do. On failure the reason goes to stderr, ahead of the
// window-class message.
static bool StartVideo()
{
    const char *named = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    const bool  picked = !(named && *named);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        // SDL 3 (under sdl2-compat) never picks the offscreen driver by
        // itself: where SDL 2 fell back to it, it fails with these words
        // (SDL 2's own when no driver at all starts)
        if (picked && std::strcmp(SDL_GetError(), "No available video device") == 0)
            ReportNoDisplay();
        else
            std::fprintf(stderr, "Video unavailable: %s\n", SDL_GetError());
        return false;
    }
    const bool unseen = DriverIs("offscreen") || DriverIs("dummy");
    if (unseen && picked) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        ReportNoDisplay();
        return false;
    }
    return true;
}

ModuleHandle Vid_RegisterClass(WindowProcedure procedure)
{
    // Like a second RegisterClass of the same name, a second registration fails
    if (sdlVideo.registered || !procedure)
        return nullptr;
    // One close box gives one WM_CLOSE, from its window event: SDL must not
    // add an SDL_QUIT for the last window closing.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (!sdlVideo.videoStarted && !StartVideo())
        return nullptr;
    // The guardian keeps an X display's mode; where SDL took another driver
    // (SDL 3 picks Wayland by itself, DISPLAY set or not) it has nothing to
    // keep, and would only read XWayland's modes, which the game never
    // changes
    if (!sdlVideo.videoStarted && !DriverIs("x11"))
        Guard_Stop();
    sdlVideo.videoStarted = true;
    sdlVideo.registered = true;
    sdlVideo.procedure = procedure;
    return &videoModule;
}

bool Vid_UnregisterClass(ModuleHandle module)
{
    // As on Windows, a class cannot go while a window of it exists
    if (module != &videoModule || !sdlVideo.registered || sdlVideo.window)
        return false;
    // SDL video itself stays up: stopping it on every F1 would also stop
    // the keyboard's auto-repeat, and F1 held switches once per repeat.
    sdlVideo.registered = false;
    sdlVideo.procedure = nullptr;
    return true;
}

// [SECTION] Display mode and cursor

// SDL fixes the pixel format when a window is made, so the format the game
// chooses later is asked for here: double-buffered RGBA with a 16-bit
// depth buffer, the deepest colour the display has. X errors on the way
// mean the GL driver is not usable (glBroken).
static SDL_Window *MakeGlWindow(const char *title, int width, int height, Uint32 flags,
                                bool &glBroken)
{
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    GlSetUpErrors errors;
    SDL_Window *window =
        SDL_CreateWindow(title ? title : "", 0, 0, width, height, flags | SDL_WINDOW_OPENGL);
    if (!window)
        Sdl_ReportFailure("SDL_CreateWindow");
    SyncX(window);
    glBroken = errors.Seen();
    Sdl_WaylandWatchKeys(window);
    return window;
}

// Lets go of the window that holds a changed mode before the game took it;
// SDL gives the desktop its mode back as it goes.
static void DropModeWindow()
{
    if (!sdlVideo.modeWindow)
        return;
    Sdl_DestroyWindow(sdlVideo.modeWindow);
    sdlVideo.modeWindow = nullptr;
    sdlVideo.modeWindowGlBroken = false;
}

// Waits at most settleMs for SDL to hold the window full screen and drawn
// at the mode's size. SDL 2.26 follows each configure of the compositor,
// which may first answer a new window without full screen, then with it;
// the events pumped meanwhile stay queued for the game.
static bool SettlesFullScreen(SDL_Window *window, const SDL_DisplayMode &mode, Uint32 settleMs)
{
    const Uint32 start = SDL_GetTicks();
    for (;;) {
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(window, &width, &height);
        if ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0 && width == mode.w &&
            height == mode.h)
            return true;
        if (SDL_GetTicks() - start >= settleMs)
            return false;
        SDL_Delay(5);
        SDL_PumpEvents();
    }
}

// sway 1.7 ignores a full-screen request from a window that has shown no
// picture yet (it is not mapped), and SDL 2.26 asks before the first one.
// One black picture maps the window; then the request is made again.
static void MapAndAskAgain(SDL_Window *window)
{
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context)
        return;
    using ClearProc = void (*)(unsigned int);
    if (auto clear = reinterpret_cast<ClearProc>(SDL_GL_GetProcAddress("glClear")))
        clear(0x00004000); // GL_COLOR_BUFFER_BIT
    SDL_GL_SwapWindow(window);
    SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(context);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
}

// Whether the full-screen window shows the asked mode. Where SDL changes the
// display's mode (X11), the display must now be in it. On Wayland a client
// cannot change an output's mode: SDL (2.26 as 3.x) emulates the modes it
// lists by drawing the window at the mode's size and having the compositor
// scale it over the whole output (wp_viewport), while the output keeps its
// own mode. There the switch is the window: full screen, and drawn at the
// asked size.
static bool ShowsMode(SDL_Window *window, const SDL_DisplayMode &mode)
{
    if (DriverIs("wayland")) {
        if (SettlesFullScreen(window, mode, waylandFirstAnswerMs))
            return true;
        MapAndAskAgain(window);
        return SettlesFullScreen(window, mode, waylandSettleMs);
    }
    SDL_DisplayMode now{};
    const int display = SDL_GetWindowDisplayIndex(window);
    if (display < 0) {
        Sdl_ReportFailure("SDL_GetWindowDisplayIndex");
        return false;
    }
    if (SDL_GetCurrentDisplayMode(display, &now) != 0) {
        Sdl_ReportFailure("SDL_GetCurrentDisplayMode");
        return false;
    }
    return now.w == mode.w && now.h == mode.h &&
           SDL_BYTESPERPIXEL(now.format) == SDL_BYTESPERPIXEL(mode.format);
}

// Switches the display for real, as the call promises: SDL changes the mode
// only as a full-screen window appears, so a window with the mode appears
// here and becomes the game's window in Vid_CreateWindow. A mode SDL lists
// but cannot switch to fails here, and the game falls back as for any
// refused mode, instead of running in a window of the wrong size.
static bool SwitchTo(const SDL_DisplayMode &mode)
{
    DropModeWindow();
    sdlVideo.guarded = DriverIs("x11");
    if (sdlVideo.guarded)
        Guard_BeforeModeChange();
    sdlVideo.modeChanged = true;
    bool        glBroken = false;
    SDL_Window *window = MakeGlWindow("", mode.w, mode.h,
                                      SDL_WINDOW_FULLSCREEN | SDL_WINDOW_HIDDEN, glBroken);
    bool switched = false;
    if (window && SDL_SetWindowDisplayMode(window, &mode) != 0)
        Sdl_ReportFailure("SDL_SetWindowDisplayMode");
    else if (window) {
        Sdl_ChangeFullscreen(window, true, [window] { SDL_ShowWindow(window); });
        // A display that did not switch, with no error from SDL, is a
        // refused mode like any other
        switched = ShowsMode(window, mode);
    }
    Sdl_LogVideo(window, switched ? "full screen" : "full screen refused");
    if (!switched) {
        if (window)
            Sdl_DestroyWindow(window);
        if (sdlVideo.guarded)
            Guard_ModeRestored();
        sdlVideo.modeChanged = false;
        sdlVideo.guarded = false;
        return false;
    }
    if (sdlVideo.guarded)
        Guard_ModeChanged();
    sdlVideo.modeWindow = window;
    sdlVideo.modeWindowGlBroken = glBroken;
    return true;
}

bool Vid_ChangeDisplayMode(int width, int height, int bits)
{
    if (!sdlVideo.registered || sdlVideo.window || bits <= 0 || bits % 8 != 0)
        return false;
    // "32-bit colour" is 4 bytes per pixel: SDL calls the usual desktop
    // format RGB888, 24 bits per pixel stored in 4 bytes.
    const int bytes = bits / 8;
    // The desktop's own mode is always on offer, also where a driver lists
    // no modes (the offscreen one)
    const int count = SDL_GetNumDisplayModes(0);
    if (count < 0)
        Sdl_ReportFailure("SDL_GetNumDisplayModes");
    for (int i = -1; i < count; ++i) {
        SDL_DisplayMode mode;
        const int got =
            i < 0 ? SDL_GetDesktopDisplayMode(0, &mode) : SDL_GetDisplayMode(0, i, &mode);
        if (got != 0) {
            Sdl_ReportFailure(i < 0 ? "SDL_GetDesktopDisplayMode" : "SDL_GetDisplayMode");
            continue;
        }
        if (mode.w != width || mode.h != height ||
            static_cast<int>(SDL_BYTESPERPIXEL(mode.format)) != bytes)
            continue;
        return SwitchTo(mode);
    }
    return false;
}

bool Vid_RestoreDisplayMode()
{
    bool restored = true;
    if (sdlVideo.modeChanged && sdlVideo.guarded)
        Guard_BeforeRestore();
    // Leaving full screen gives the desktop its own mode back
    DropModeWindow();
    if (sdlVideo.window && (SDL_GetWindowFlags(sdlVideo.window) & SDL_WINDOW_FULLSCREEN)) {
        Sdl_ChangeFullscreen(sdlVideo.window, false, [&restored] {
            restored = SDL_SetWindowFullscreen(sdlVideo.window, 0) == 0;
        });
        if (!restored)
            Sdl_ReportFailure("SDL_SetWindowFullscreen");
    }
    // SDL gives back the mode it saw at its start; the guardian kept the
    // one the desktop had just before this change
    if (sdlVideo.modeChanged && sdlVideo.guarded)
        Guard_ModeRestored();
    sdlVideo.modeChanged = false;
    sdlVideo.guarded = false;
    return restored;
}

void Sdl_LogVideo(SDL_Window *window, const char *what)
{
    static const char *const wanted = SDL_getenv("QUARVEL_VIDEO_LOG");
    if (!wanted || std::strcmp(wanted, "1") != 0)
        return;
    const char *driver = SDL_GetCurrentVideoDriver();
    int width = 0, height = 0, drawableWidth = 0, drawableHeight = 0;
    Uint32 flags = 0;
    SDL_DisplayMode now{};
    if (window) {
        SDL_GetWindowSize(window, &width, &height);
        SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
        flags = SDL_GetWindowFlags(window);
        const int display = SDL_GetWindowDisplayIndex(window);
        if (display >= 0)
            SDL_GetCurrentDisplayMode(display, &now);
    }
    StderrLine("video: %s: driver %s, window %dx%d, drawable %dx%d, %s, display %dx%d\n", what,
               driver ? driver : "none", width, height, drawableWidth, drawableHeight,
               (flags & SDL_WINDOW_FULLSCREEN) ? "full screen" : "windowed", now.w, now.h);
}

void Vid_ShowCursor(bool show)
{
    sdlVideo.cursorHidden = !show;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void Vid_RestoreForExit()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    Vid_RestoreDisplayMode();
    if (sdlVideo.cursorHidden)
        SDL_ShowCursor(SDL_ENABLE);
    sdlVideo.cursorHidden = false;
}

// [SECTION] Window

WindowHandle Vid_CreateWindow(ModuleHandle module, const char *title, int width, int height,
                              bool fullscreen)
{
    if (module != &videoModule || !sdlVideo.registered || sdlVideo.window)
        return nullptr;
    SDL_Window *window = nullptr;
    bool        glBroken = false;
    if (fullscreen && sdlVideo.modeWindow) {
        // The window that changed the mode, already over the whole display
        window = sdlVideo.modeWindow;
        glBroken = sdlVideo.modeWindowGlBroken;
        sdlVideo.modeWindow = nullptr;
        sdlVideo.modeWindowGlBroken = false;
        SDL_SetWindowTitle(window, title ? title : "");
    } else {
        // Hidden until Vid_ShowWindow, like a window without WS_VISIBLE. A
        // decorated window can be resized like an overlapped one.
        const Uint32 flags =
            SDL_WINDOW_HIDDEN | (fullscreen ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_RESIZABLE);
        window = MakeGlWindow(title, width, height, flags, glBroken);
    }
    if (!window)
        return nullptr;
    // The game refuses the screen saver while its window exists
    SDL_DisableScreenSaver();
    sdlVideo.window = window;
    sdlVideo.glBroken = glBroken;
    return &gameWindow;
}

bool Vid_DestroyWindow(WindowHandle window)
{
    if (window != &gameWindow || !sdlVideo.window)
        return false;
    Sdl_DestroyWindow(sdlVideo.window);
    sdlVideo.window = nullptr;
    sdlVideo.glBroken = false;
    sdlVideo.surfaceTaken = false;
    sdlVideo.surfaceFormat = 0;
    SDL_EnableScreenSaver();
    return true;
}

void Vid_ShowWindow(WindowHandle window)
{
    SDL_Window *sdlWindow = Vid_SdlWindow(window);
    if (!sdlWindow)
        return;
    SDL_ShowWindow(sdlWindow);
    Sdl_LogVideo(sdlWindow, "shown");
    // On Wayland a new toplevel gets the keyboard from the compositor, and a
    // client cannot take it. SDL 2.26's SDL_RaiseWindow there asks for an
    // xdg_activation_v1 token and activates the window's surface when the
    // token comes; by then F1 may have destroyed that surface, and sway 1.7
    // dies of the activation (the player's whole session with it).
    if (DriverIs("wayland"))
        return;
    SDL_RaiseWindow(sdlWindow);
    // Drivers without keyboard focus of their own (offscreen) refuse this
    // harmlessly
    SDL_SetWindowInputFocus(sdlWindow);
}

SDL_Window *Vid_SdlWindow(WindowHandle window)
{
    return window == &gameWindow ? sdlVideo.window : nullptr;
}

// [SECTION] Drawing surface, pixel format and GL context

DeviceContext Vid_GetDeviceContext(WindowHandle window)
{
    if (!Vid_SdlWindow(window))
        return nullptr;
    sdlVideo.surfaceTaken = true;
    return &gameSurface;
}

bool Vid_ReleaseDeviceContext(WindowHandle window, DeviceContext surface)
{
    if (!Vid_SdlWindow(window) || surface != &gameSurface || !sdlVideo.surfaceTaken)
        return false;
    sdlVideo.surfaceTaken = false;
    return true;
}

// The window of a surface handed out and not yet released; null otherwise.
static SDL_Window *SurfaceWindow(DeviceContext surface)
{
    return surface == &gameSurface && sdlVideo.surfaceTaken ? sdlVideo.window : nullptr;
}

int Vid_ChoosePixelFormat(DeviceContext surface, int colourBits, int depthBits)
{
    SDL_Window *window = SurfaceWindow(surface);
    if (!window || colourBits <= 0 || depthBits < 0)
        return 0;
    // The one format there is: the one the window was made with
    return (SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL) ? 1 : 0;
}

bool Vid_SetPixelFormat(DeviceContext surface, int format)
{
    // As on Windows, a window's pixel format is set once for good
    if (!SurfaceWindow(surface) || format != 1)
        return false;
    if (sdlVideo.surfaceFormat != 0 && sdlVideo.surfaceFormat != format)
        return false;
    sdlVideo.surfaceFormat = format;
    return true;
}

RenderContext Vid_CreateContext(DeviceContext surface)
{
    SDL_Window *window = SurfaceWindow(surface);
    if (!window || sdlVideo.surfaceFormat == 0 || sdlVideo.context)
        return nullptr;
    // SDL makes a new context current at once; wglCreateContext does not,
    // so whatever was current before is put back.
    SDL_Window   *previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    // A GL driver that failed while the window was made has no context to
    // give either
    if (sdlVideo.glBroken) {
        ReportGlDriverFailure("SDL_CreateWindow");
        return nullptr;
    }
    GlSetUpErrors errors;
    sdlVideo.context = SDL_GL_CreateContext(window);
    SyncX(window);
    if (!sdlVideo.context) {
        Sdl_ReportFailure("SDL_GL_CreateContext");
        return nullptr;
    }
    if (errors.Seen()) {
        ReportGlDriverFailure("SDL_GL_CreateContext");
        SDL_GL_DeleteContext(sdlVideo.context);
        sdlVideo.context = nullptr;
        return nullptr;
    }
    SDL_GL_MakeCurrent(previousWindow, previousContext);
    return &gameContext;
}

bool Vid_MakeCurrent(DeviceContext surface, RenderContext context)
{
    SDL_Window *window = SurfaceWindow(surface);
    if (!window || context != &gameContext || !sdlVideo.context)
        return false;
    GlSetUpErrors errors;
    const bool current = SDL_GL_MakeCurrent(window, sdlVideo.context) == 0;
    if (!current)
        Sdl_ReportFailure("SDL_GL_MakeCurrent");
    // The errors of the attempt are collected either way
    SyncX(window);
    if (!current)
        return false;
    if (errors.Seen()) {
        ReportGlDriverFailure("SDL_GL_MakeCurrent");
        return false;
    }
    return true;
}

bool Vid_ReleaseCurrent()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    if (SDL_GL_MakeCurrent(nullptr, nullptr) != 0) {
        Sdl_ReportFailure("SDL_GL_MakeCurrent");
        return false;
    }
    return true;
}

bool Vid_DeleteContext(RenderContext context)
{
    if (context != &gameContext || !sdlVideo.context)
        return false;
    SDL_GL_DeleteContext(sdlVideo.context);
    sdlVideo.context = nullptr;
    return true;
}

void Vid_SwapBuffers(DeviceContext surface)
{
    if (SDL_Window *window = SurfaceWindow(surface))
        SDL_GL_SwapWindow(window);
}

bool Vid_SetSwapInterval(int interval)
{
    return SDL_GL_SetSwapInterval(interval) == 0;
}
