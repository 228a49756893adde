// The SDL backend's display mode and cursor: a full-screen switch on X11
// changes the display's mode (the guardian keeps the desktop's); on Wayland
// and XWayland it is a window over the output at the output's own size.

#include "platform/sdl/display_mode_sdl.h"

#include <SDL.h>

#include "platform/process/mode_guardian.h"
#include "platform/sdl/gl_window_sdl.h"
#include "platform/sdl/sdl_state.h"
#include "platform/sdl/video_log_sdl.h"
#include "platform/sdl/wayland/full_screen_wayland.h"
#include "platform/sdl/x11/output_switch_x11.h"
#include "platform/sdl/x11/window_manager_x11.h"
#include "platform/video.h"

// Lets go of the window that holds a changed mode before the game took it;
// SDL gives the desktop its mode back as it goes.
static void DropModeWindow()
{
    if (!sdl.video.modeWindow)
        return;
    Sdl_DestroyGlWindow(sdl.video.modeWindow);
    sdl.video.modeWindow = nullptr;
    sdl.video.modeWindowGlBroken = false;
}

// Whether the full-screen window shows the asked mode. Where SDL changes the
// display's mode (X11), the display must now be in it; on Wayland the
// window must.
// Where modes are scaled, the window must be full screen at the output's
// size (its desktop mode), in pixels.
static constexpr Uint32 windowManagerAnswerMs = 1000;

// Pumps SDL's events until done() holds or ms have passed; false then. The
// events pumped meanwhile stay queued for the game.
template <typename Done> static bool PumpUntil(Done done, Uint32 ms)
{
    const Uint32 start = SDL_GetTicks();
    while (!done()) {
        if (SDL_GetTicks() - start >= ms)
            return false;
        SDL_Delay(5);
        SDL_PumpEvents();
    }
    return true;
}

static bool ShowsMode(SDL_Window *window, const SDL_DisplayMode &mode)
{
    if (sdl.display.system == DisplaySystem::Wayland)
        return Wayland_ShowsMode(window);
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
    if (sdl.display.scaledModes) {
        // SDL 3 counts the window full screen only once the window manager
        // (the compositor) has said so, which a busy compositor may take a
        // while to do: it is given a second
        return PumpUntil(
            [window] { return (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0; },
            windowManagerAnswerMs);
    }
    return now.w == mode.w && now.h == mode.h &&
           SDL_BYTESPERPIXEL(now.format) == SDL_BYTESPERPIXEL(mode.format);
}

// Switches the display for real, as the call promises: SDL changes the mode
// only as a full-screen window appears, so a window with the mode appears
// here and becomes the game's window in Vid_CreateWindow. A mode SDL lists
// but cannot switch to fails here, and the game falls back as for any
// refused mode, instead of running in a window of the wrong size.
//
// Where the display's modes are only emulated and scaled by a compositor
// (Wayland, XWayland) the window is full screen at the output's own size
// instead, and the shell's picture keeps its 4:3 shape inside it.
static bool SwitchTo(const SDL_DisplayMode &mode, int display)
{
    DropModeWindow();
    const bool scaled = sdl.display.scaledModes;
    sdl.video.guarded = sdl.display.system == DisplaySystem::X11 && !scaled;
    if (sdl.video.guarded) {
        Guardian_BeforeModeChange();
        // Beside other monitors a full-screen game that loses the keyboard
        // stays on its own, as a window does, and the player works on the
        // others meanwhile. Minimised, SDL would give its monitor the
        // desktop's mode back as if it were the only one, leaving it dark
        // beside a second one (sdl/x11/output_switch_x11.cpp), with no X
        // error trap around the event it happens in.
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS,
                    SDL_GetNumVideoDisplays() > 1 ? "0" : nullptr);
    }
    sdl.video.modeChanged = true;
    bool        glBroken = false;
    SDL_Window *window = Sdl_MakeGlWindow(
        "", mode.w, mode.h,
        (scaled ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_FULLSCREEN) | SDL_WINDOW_HIDDEN,
        display, glBroken);
    bool switched = false;
    if (window && !scaled && SDL_SetWindowDisplayMode(window, &mode) != 0)
        Sdl_ReportFailure("SDL_SetWindowDisplayMode");
    else if (window) {
        const auto show = [window] {
            X11_ChangeFullscreen(window, true, [window] { SDL_ShowWindow(window); });
        };
        // Only that monitor changes: the desktop's others keep theirs
        bool asMeant = true;
        if (sdl.video.guarded)
            asMeant = X11_SwitchOneOutput(window, display, mode.w, mode.h, show);
        else
            show();
        // A display that did not switch, with no error from SDL, is a
        // refused mode like any other
        switched = asMeant && ShowsMode(window, mode);
    }
    Sdl_LogVideo(window, switched ? "full screen" : "full screen refused");
    if (!switched) {
        if (window)
            Sdl_DestroyGlWindow(window);
        if (sdl.video.guarded)
            Guardian_ModeRestored();
        sdl.video.modeChanged = false;
        sdl.video.guarded = false;
        return false;
    }
    if (sdl.video.guarded)
        Guardian_ModeChanged();
    sdl.video.modeWindow = window;
    sdl.video.modeWindowGlBroken = glBroken;
    return true;
}

int Sdl_PlayersDisplay()
{
    const int display = sdl.video.fullScreenDisplay;
    return display < 0 || display >= SDL_GetNumVideoDisplays() ? 0 : display;
}

// The longest a compositor may take to put a new window on an output
static constexpr Uint32 waylandPlacedMs = 500;

// Where a Wayland compositor puts a new window (the monitor with the
// keyboard's focus, or the pointer): a full-screen window asks for an
// output, and SDL would ask for its first, which the compositor
// lists in no particular order. A plain window is shown for a moment and
// the output it entered is the one; SDL moves it to that output's corner.
static int OutputOfNewWindow(int width, int height)
{
    bool        glBroken = false;
    SDL_Window *window = Sdl_MakeGlWindow("", width, height, SDL_WINDOW_HIDDEN, -1, glBroken);
    if (!window)
        return 0;
    int madeX = 0, madeY = 0;
    SDL_GetWindowPosition(window, &madeX, &madeY);
    SDL_ShowWindow(window);
    Wayland_ShowBlackPicture(window);
    PumpUntil(
        [window, madeX, madeY] {
            int x = madeX, y = madeY;
            SDL_GetWindowPosition(window, &x, &y);
            return x != madeX || y != madeY;
        },
        waylandPlacedMs);
    const int display = SDL_GetWindowDisplayIndex(window);
    Sdl_DestroyGlWindow(window);
    return display < 0 ? 0 : display;
}

bool Vid_ChangeDisplayMode(int width, int height, int bits)
{
    if (!sdl.video.registered || sdl.video.window || bits <= 0 || bits % 8 != 0)
        return false;
    // The first full screen on Wayland goes where the compositor puts a
    // window; later ones where the player's window was
    if (sdl.display.system == DisplaySystem::Wayland && sdl.video.fullScreenDisplay < 0)
        sdl.video.fullScreenDisplay =
            SDL_GetNumVideoDisplays() > 1 ? OutputOfNewWindow(width, height) : 0;
    // "32-bit colour" is 4 bytes per pixel: SDL calls the usual desktop
    // format RGB888, 24 bits per pixel stored in 4 bytes.
    const int display = Sdl_PlayersDisplay();
    // Where modes are only scaled by a compositor, full screen is the
    // output as it is: any size asked fits the picture into it.
    if (sdl.display.scaledModes) {
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(display, &desktop) != 0) {
            Sdl_ReportFailure("SDL_GetDesktopDisplayMode");
            return false;
        }
        return SwitchTo(desktop, display);
    }
    int bytes = bits / 8;
    // An X server or a compositor cannot change its colour depth: there the
    // attempts go by size at the desktop's depth, so a 640x480 mode is
    // used when 800x600 is missing though the game asks it at 16 bits.
    SDL_DisplayMode desktop{};
    if (sdl.display.system != DisplaySystem::Other &&
        SDL_GetDesktopDisplayMode(display, &desktop) == 0)
        bytes = static_cast<int>(SDL_BYTESPERPIXEL(desktop.format));
    // The desktop's own mode is always on offer, also where a driver lists
    // no modes (the offscreen one)
    const int count = SDL_GetNumDisplayModes(display);
    if (count < 0)
        Sdl_ReportFailure("SDL_GetNumDisplayModes");
    for (int i = -1; i < count; ++i) {
        SDL_DisplayMode mode;
        const int got =
            i < 0 ? SDL_GetDesktopDisplayMode(display, &mode) : SDL_GetDisplayMode(display, i, &mode);
        if (got != 0) {
            Sdl_ReportFailure(i < 0 ? "SDL_GetDesktopDisplayMode" : "SDL_GetDisplayMode");
            continue;
        }
        if (mode.w != width || mode.h != height ||
            static_cast<int>(SDL_BYTESPERPIXEL(mode.format)) != bytes)
            continue;
        return SwitchTo(mode, display);
    }
    return false;
}

bool Vid_RestoreDisplayMode()
{
    bool restored = true;
    if (sdl.video.modeChanged && sdl.video.guarded)
        Guardian_BeforeRestore();
    // Leaving full screen gives the desktop its own mode back
    DropModeWindow();
    if (sdl.video.window && (SDL_GetWindowFlags(sdl.video.window) & SDL_WINDOW_FULLSCREEN)) {
        X11_LeaveOutputMode(sdl.video.window, [&restored] {
            X11_ChangeFullscreen(sdl.video.window, false, [&restored] {
                restored = SDL_SetWindowFullscreen(sdl.video.window, 0) == 0;
            });
        });
        if (!restored)
            Sdl_ReportFailure("SDL_SetWindowFullscreen");
    }
    // SDL gives back the mode it saw at its start; the guardian kept the
    // one the desktop had just before this change
    if (sdl.video.modeChanged && sdl.video.guarded)
        Guardian_ModeRestored();
    sdl.video.modeChanged = false;
    sdl.video.guarded = false;
    return restored;
}

void Vid_ShowCursor(bool show)
{
    sdl.video.cursorHidden = !show;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void Sdl_RestoreForExit()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    Vid_RestoreDisplayMode();
    if (sdl.video.cursorHidden)
        SDL_ShowCursor(SDL_ENABLE);
    sdl.video.cursorHidden = false;
}
