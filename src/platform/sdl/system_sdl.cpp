// SDL's system services: sleep, calendar, close signals, start, shutdown, message boxes.

#include "platform/system.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <unistd.h>

#include <SDL.h>

#include "platform/sdl/display_guard.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/video.h"
#include "system/clock.h"

void Sdl_ReportFailure(const char *step)
{
    std::fprintf(stderr, "%s: %s\n", step, SDL_GetError());
}

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

// [SECTION] Close requests and start-up

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

// A launcher or service manager may start the game with stdin, stdout or
// stderr closed. The next file opened (the X connection) would take that
// number, and stderr lines would go into it: /dev/null holds the place.
static void KeepStandardDescriptorsOpen()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        // The lowest free number: fd itself, those below it being open
        const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

void Sys_Init()
{
    KeepStandardDescriptorsOpen();
    // The guardian is this program started again: it goes no further
    Guard_RunIfGuardian();

    SetClockSource(SdlMilliseconds);

    // A log line that cannot be written (stderr a pipe whose reader has
    // gone) is dropped; the game goes on.
    std::signal(SIGPIPE, SIG_IGN);

    // Early, so that it is up by the first mode change
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
    // A second Sys_Init in the same process (the tests make several) starts
    // from nothing: no window, no messages waiting, no key held
    sdlVideo = SdlVideoState{};
    Sdl_ResetMessages();
}

// [SECTION] Message boxes

// Ends every child process of the game's main thread but the guardian: the
// one SDL shows its message box in (X11) or runs zenity in (Wayland).
static void EndBoxChildren()
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%d/children", static_cast<int>(getpid()));
    std::FILE *file = std::fopen(path, "r");
    if (!file)
        return;
    long child = 0;
    while (std::fscanf(file, "%ld", &child) == 1)
        if (child > 0 && child != Guard_Pid())
            kill(static_cast<pid_t>(child), SIGKILL);
    std::fclose(file);
}

static void DrainCloseWake()
{
    const int wake = Sdl_CloseWakeFd();
    char bytes[64];
    while (wake >= 0 && read(wake, bytes, sizeof bytes) > 0) {
    }
}

// While a box waits for its click, a close request (SIGTERM, SIGINT,
// SIGHUP, SIGQUIT) ends it as if it had been closed without a button, so
// the game can end promptly; the request stays for the message loop.
class BoxWatch {
public:
    BoxWatch()
    {
        if (Sdl_CloseWakeFd() >= 0 && pipe2(stop, O_CLOEXEC) == 0)
            watcher = std::thread(&BoxWatch::Run, this);
    }
    ~BoxWatch()
    {
        if (watcher.joinable()) {
            const char done = 1;
            const ssize_t written = write(stop[1], &done, 1);
            (void)written;
            watcher.join();
        }
        for (const int end : stop)
            if (end >= 0)
                close(end);
    }
    BoxWatch(const BoxWatch &) = delete;
    BoxWatch &operator=(const BoxWatch &) = delete;

private:
    void Run()
    {
        bool closing = false;
        for (;;) {
            pollfd ready[2] = {{stop[0], POLLIN, 0}, {Sdl_CloseWakeFd(), POLLIN, 0}};
            // Once closing, again and again until the box has gone: SDL may
            // not have started its child yet when the request came
            const int polled = poll(ready, 2, closing ? 20 : -1);
            if (polled < 0 && errno != EINTR)
                return;
            if (ready[0].revents)
                return;
            if (ready[1].revents & POLLIN) {
                DrainCloseWake();
                closing = true;
            }
            if (closing)
                EndBoxChildren();
        }
    }

    int         stop[2] = {-1, -1};
    std::thread watcher;
};

int Vid_MessageBox(const char *text, const char *caption, uint32_t flags)
{
    const bool question = (flags & 0x0F) == MB_YESNO;
    // The icon is a 4-bit field, not a set of bits: MB_ICONEXCLAMATION
    // contains the bit of MB_ICONSTOP.
    Uint32 icon = 0;
    switch (flags & 0xF0) {
    case MB_ICONSTOP: icon = SDL_MESSAGEBOX_ERROR; break;
    case MB_ICONEXCLAMATION: icon = SDL_MESSAGEBOX_WARNING; break;
    case MB_ICONINFORMATION: icon = SDL_MESSAGEBOX_INFORMATION; break;
    default: break;
    }
    const SDL_MessageBoxButtonData yesNo[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
    };
    const SDL_MessageBoxButtonData ok[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK,
         "OK"},
    };
    SDL_MessageBoxData box{};
    box.flags = icon;
    box.window = nullptr;
    box.title = caption ? caption : "";
    box.message = text ? text : "";
    box.numbuttons = question ? 2 : 1;
    box.buttons = question ? yesNo : ok;

    // A close request that came before the box would leave it waiting
    // for a click that may never come: its text goes to stderr instead.
    DrainCloseWake();
    int  answer = -1;
    bool shown = false;
    if (!sdlCloseRequested) {
        BoxWatch watch;
        shown = SDL_ShowMessageBox(&box, &answer) == 0;
        // A box ended by a close request fails on purpose
        if (!shown && !sdlCloseRequested)
            Sdl_ReportFailure("SDL_ShowMessageBox");
        shown = shown && !sdlCloseRequested;
    }
    if (!shown) {
        // No display to show it on, or the game is closing: the user
        // still learns why
        std::fprintf(stderr, "%s: %s\n", box.title, box.message);
        std::fflush(stderr);
        return question ? IDNO : IDOK;
    }
    // Closed without a button: the safe answer
    if (answer != IDYES && answer != IDNO && answer != IDOK)
        return question ? IDNO : IDOK;
    return answer;
}
