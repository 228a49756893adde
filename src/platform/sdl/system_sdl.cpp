#include "platform/system.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <SDL.h>

#include "system/clock.h"
#include "platform/sdl/display_guard.h"
#include "platform/sdl/sdl_backend.h"

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

// The pipe a close request is announced on, for whoever waits in a
// system call meanwhile (a message box); -1 while there is none.
static int closeWake[2] = {-1, -1};

int Sdl_CloseWakeFd()
{
    return closeWake[0];
}

// Only sets a flag and writes a byte to a pipe, both safe in a signal
// handler: the close request goes out through the message queue, where
// the game ends the normal way and puts the desktop back.
static void RequestClose(int)
{
    const int savedErrno = errno;
    sdlCloseRequested = 1;
    if (closeWake[1] >= 0) {
        const char wake = 1;
        const ssize_t written = write(closeWake[1], &wake, 1);
        (void)written;
    }
    errno = savedErrno;
}

static Uint32 SdlMilliseconds()
{
    return SDL_GetTicks();
}

void Sys_Init()
{
    SetClockSource(SdlMilliseconds);

    // A log line that cannot be written (stderr a pipe whose reader has
    // gone) is dropped; the game goes on.
    std::signal(SIGPIPE, SIG_IGN);

    // While the program still has one thread, and before any signal
    // handler of ours that the child must not have
    Guard_Start();

    // SDL would turn the signals into SDL_QUIT itself, but only while its
    // event system runs; ours work from the start, between windows too.
    // The terminal closing (SIGHUP) and Ctrl+\ (SIGQUIT) end the game the
    // same normal way.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (closeWake[0] < 0 && pipe2(closeWake, O_CLOEXEC | O_NONBLOCK) != 0)
        closeWake[0] = closeWake[1] = -1;
    struct sigaction action {};
    action.sa_handler = RequestClose;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int closing : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(closing, &action, nullptr);

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
