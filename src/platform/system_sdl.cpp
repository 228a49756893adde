#include "platform/system.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <sched.h>

#include <SDL.h>

#include "platform/clock.h"
#include "platform/sdl_backend.h"

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

// Only sets a flag: the close request goes out through the message queue,
// where the game ends the normal way and puts the desktop back.
static void RequestClose(int)
{
    sdlCloseRequested = 1;
}

static Uint32 SdlMilliseconds()
{
    return SDL_GetTicks();
}

void Sys_Init()
{
    SetClockSource(SdlMilliseconds);

    // SDL would turn the signals into SDL_QUIT itself, but only while its
    // event system runs; ours work from the start, between windows too.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action {};
    action.sa_handler = RequestClose;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    // Gamepads belong to the player, not to the window: they stay open
    // while F1 makes a new one. Without them the keyboard still plays.
    if (!Pad_Start())
        std::fprintf(stderr, "Gamepads unavailable: %s\n", SDL_GetError());

    // No atexit hook for Sys_Shutdown: when the X server goes away, Xlib
    // ends the program with exit(), and SDL must not talk to the dead
    // connection again then. Every other way out calls Sys_Shutdown itself.
}

void Sys_Shutdown()
{
    Vid_RestoreForExit();
    Pad_Stop();
    // SDL_Quit destroys the window and the context behind the handles, so
    // they are forgotten here; later releases through them fail harmlessly.
    SDL_Quit();
    sdlVideo = SdlVideoState{};
}
