// SDL's system services: sleep, calendar, and the backend's start and end.

#include "platform/system.h"

#include <ctime>
#include <vector>

#include <sched.h>

#include <SDL.h>

#include "platform/process/one_game.h"
#include "platform/process/process_hooks.h"
#include "platform/sdl/display_mode_sdl.h"
#include "platform/sdl/gamepad_sdl.h"
#include "platform/sdl/sdl_state.h"
#include "platform/sdl/video_start_sdl.h"
#include "platform/sdl/wayland/keyboard_wayland.h"
#include "system/clock.h"
#include "system/debug_log.h"

// [SECTION] Sleep and time

void Sys_Sleep(uint32_t milliseconds)
{
    // SDL_Delay(0) returns at once without giving up the processor
    if (milliseconds == 0)
        sched_yield();
    else
        SDL_Delay(milliseconds);
}

int64_t Sys_Time()
{
    return static_cast<int64_t>(std::time(nullptr));
}

// [SECTION] Start and end

static Uint32 SdlMilliseconds()
{
    return SDL_GetTicks();
}

void Sys_Init()
{
    // Signals, fork hooks, and the guardian's own start: it goes no further
    Process_Start();

    SetClockSource(SdlMilliseconds);

    // SDL would turn the signals into SDL_QUIT itself, but only while its
    // event system runs; ours work from the start, between windows too.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");

    // Gamepads belong to the player, not to the window: they stay open
    // while F1 makes a new one. Without them the keyboard still plays.
    // They start before video, as they always have here.
    if (!Pad_Start())
        StderrLine("Gamepads unavailable: %s\n", SDL_GetError());

    // Video now, so that the display is known before anything depends on
    // it: a second start on a display that has a game ends here, and on X11
    // the guardian is up by the first mode change. Without video the game
    // says so as it opens its window.
    Sdl_StartVideo();

    // No atexit hook for Sys_Shutdown: when the X server goes away, Xlib
    // ends the program with exit(), and SDL must not talk to the dead
    // connection again then. Every other way out calls Sys_Shutdown itself.
}

void Sys_Shutdown()
{
    Sdl_RestoreForExit();
    // The keys the pads held go with the rest of the queue below
    std::vector<Message> letGo;
    Pad_Stop(letGo);
    Wayland_Stop();
    // SDL_Quit destroys the window and the context behind the handles, so
    // they are forgotten here; later releases through them fail harmlessly.
    SDL_Quit();
    // A second Sys_Init in the same process (the tests make several) starts
    // from nothing: no window, no messages waiting, no key held
    Sdl_ResetState();
    // Only now, with the desktop's mode back, may another game start here
    Instance_Release();
}
