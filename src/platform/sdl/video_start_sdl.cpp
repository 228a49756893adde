// SDL's video start, and the one decision of the display system.

#include "platform/sdl/video_start_sdl.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/process/mode_guardian.h"
#include "platform/process/one_game.h"
#include "platform/sdl/sdl_state.h"
#include "platform/x11/emulated_modes_x11.h"
#include "system/debug_log.h"

// The game's own words for it; no message box can show either then.
static void ReportNoDisplay()
{
    sdl.video.noDisplay = true;
    std::fprintf(stderr, "Video unavailable: no display to open the window on "
                         "(DISPLAY and WAYLAND_DISPLAY are unset or unreachable)\n");
}

// The display system of the driver SDL started, and the display's name as
// that system's clients read it: SDL's X11 driver opens DISPLAY, its
// Wayland driver WAYLAND_DISPLAY ("wayland-0" when unset) in
// XDG_RUNTIME_DIR, or the path WAYLAND_DISPLAY names.
static DisplayServer DecideDisplay()
{
    DisplayServer display;
    const char   *driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0) {
        const char *name = std::getenv("DISPLAY");
        display.system = DisplaySystem::X11;
        display.name = name ? name : "";
        display.scaledModes = X11_ModesAreEmulated(display.name.c_str());
    } else if (driver && std::strcmp(driver, "wayland") == 0) {
        const char       *named = std::getenv("WAYLAND_DISPLAY");
        const std::string socket = named && *named ? named : "wayland-0";
        const char       *runtime = std::getenv("XDG_RUNTIME_DIR");
        display.system = DisplaySystem::Wayland;
        display.scaledModes = true;
        if (socket[0] == '/')
            display.name = socket;
        else if (runtime && *runtime)
            display.name = std::string(runtime) + "/" + socket;
    }
    return display;
}

// With no X or Wayland display SDL falls back to its offscreen driver, where
// the game would run unseen; that one (and the dummy one) only when named
// in SDL_VIDEODRIVER, as the tests do. On failure the reason goes to
// stderr, ahead of the window-class message.
static bool StartSdlVideo()
{
    // One close box gives one WM_CLOSE, from its window event: SDL must not
    // add an SDL_QUIT for the last window closing.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Windows sized in the desktop's logical units, drawn at its device
    // pixels: F1's window is 800x600 on every scale. sdl2-compat turns
    // SDL 3's sizing in device pixels on for old games, where the window
    // would come out at half its size on a scale-2 output.
    SDL_SetHint("SDL_VIDEO_WAYLAND_SCALE_TO_DISPLAY", "0");
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
    const char *driver = SDL_GetCurrentVideoDriver();
    const bool  unseen =
        driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (unseen && picked) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        ReportNoDisplay();
        return false;
    }
    return true;
}

bool Sdl_StartVideo()
{
    if (sdl.video.started)
        return true;
    if (sdl.video.failed || !StartSdlVideo()) {
        sdl.video.failed = true;
        return false;
    }
    sdl.video.started = true;
    sdl.display = DecideDisplay();
    const char *log = SDL_getenv("QUARVEL_VIDEO_LOG");
    sdl.video.logged = log && std::strcmp(log, "1") == 0;

    // Two games would fight over the display's mode
    if (!Instance_Claim(sdl.display)) {
        StderrLine("Quarvel is already running on this display: brought it to the front\n");
        SDL_Quit();
        std::exit(0);
    }
    // Only on X11 does a full-screen window change the display's mode:
    // where SDL took another driver (SDL 3 picks Wayland by itself, DISPLAY
    // set or not) there is nothing to keep
    if (sdl.display.system == DisplaySystem::X11)
        Guardian_Start(sdl.display.name.c_str());
    return true;
}
