// SDL's system services: sleep, calendar, close signals, start, shutdown, message boxes.

#include "platform/system.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <SDL.h>

#include "platform/sdl/display_guard.h"
#include "platform/sdl/one_game.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/video.h"
#include "system/clock.h"
#include "system/debug_log.h"

void Sdl_ReportFailure(const char *step)
{
    StderrLine("%s: %s\n", step, SDL_GetError());
}

std::vector<std::string> Sdl_NamedVideoDrivers()
{
    std::vector<std::string> drivers;
    const char *list = std::getenv("SDL_VIDEODRIVER");
    std::string name;
    for (const char *c = list ? list : ""; ; ++c) {
        if (*c && *c != ',') {
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
            continue;
        }
        if (!name.empty())
            drivers.push_back(name);
        name.clear();
        if (!*c)
            return drivers;
    }
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

// The signals that ask the game to close.
static constexpr int closeSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

static void EndBox();
static void WatchBoxForks();

// Only sets a flag and ends a message box that is up, both safe in a signal
// handler: the close request goes out through the message queue, where the
// game ends the normal way and puts the desktop back.
static void RequestClose(int)
{
    const int savedErrno = errno;
    sdlCloseRequested.store(1);
    EndBox();
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

    // A second start on a display that has a game already brings that
    // one to the front instead: two games would fight over the mode
    if (!Instance_Claim()) {
        StderrLine("Quarvel is already running on this display: brought it to the front\n");
        std::exit(0);
    }

    // Early, so that it is up by the first mode change
    Guard_Start();

    // SDL would turn the signals into SDL_QUIT itself, but only while its
    // event system runs; ours work from the start, between windows too.
    // The terminal closing (SIGHUP) and Ctrl+\ (SIGQUIT) end the game the
    // same normal way.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // No SA_RESTART: a close request interrupts a system call that blocks
    // (a write to a stderr nobody reads any more) instead of going back into
    // it, so the game gets to its message loop and ends.
    struct sigaction action {};
    action.sa_handler = RequestClose;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (const int closing : closeSignals)
        sigaction(closing, &action, nullptr);
    WatchBoxForks();

    // Gamepads belong to the player, not to the window: they stay open
    // while F1 makes a new one. Without them the keyboard still plays.
    if (!Pad_Start())
        StderrLine("Gamepads unavailable: %s\n", SDL_GetError());

    // No atexit hook for Sys_Shutdown: when the X server goes away, Xlib
    // ends the program with exit(), and SDL must not talk to the dead
    // connection again then. Every other way out calls Sys_Shutdown itself.
}

void Sys_Shutdown()
{
    Vid_RestoreForExit();
    Pad_Stop();
    Sdl_WaylandStop();
    // SDL_Quit destroys the window and the context behind the handles, so
    // they are forgotten here; later releases through them fail harmlessly.
    SDL_Quit();
    // A second Sys_Init in the same process (the tests make several) starts
    // from nothing: no window, no messages waiting, no key held
    sdlVideo = SdlVideoState{};
    Sdl_ResetMessages();
    // Only now, with the desktop's mode back, may another game start here
    Instance_Release();
}

// [SECTION] Message boxes

// SDL shows a message box in a process it forks (X11's box, or zenity on
// Wayland) and waits for it. While one is up, the processes the main thread
// forks are the box's: a close request ends them, and they end with the
// game, so that no box is left on the screen holding the game's stdout and
// stderr open after it was killed. No other child of the game is touched:
// the guardian, or one the game inherited through exec.

// SDL forks one process for a box; room for a few more all the same.
constexpr int maxBoxProcesses = 4;

// The message box's processes while one is up. The close handler reads
// the pidfds from any thread; everything else is the main thread's.
struct SdlBoxState {
    std::atomic<int>   asked{0};     // the main thread is in SDL_ShowMessageBox
    pid_t              gamePid = -1; // the game's process, the box's parent
    std::vector<pid_t> known;        // the main thread's children not to touch
    // pidfds of the box's processes, -1 where none: a pid number could be
    // another process's by the time it is signalled, a pidfd cannot
    std::atomic<int>   pidfds[maxBoxProcesses] = {-1, -1, -1, -1};
};

static SdlBoxState sdlBox;

// The children of the game's main thread: SDL forks its box from there.
static std::vector<pid_t> MainThreadChildren()
{
    std::vector<pid_t> children;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%d/children", static_cast<int>(getpid()));
    std::FILE *file = std::fopen(path, "r");
    if (!file)
        return children;
    long child = 0;
    while (std::fscanf(file, "%ld", &child) == 1)
        children.push_back(static_cast<pid_t>(child));
    std::fclose(file);
    return children;
}

// The parent of a process as /proc says now; -1 when it is gone.
static pid_t ParentOf(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    std::FILE *file = std::fopen(path, "r");
    if (!file)
        return -1;
    // "pid (command) state ppid ...": the command may hold spaces and
    // parentheses, so read from the last ')'
    char stat[512];
    const size_t got = std::fread(stat, 1, sizeof stat - 1, file);
    std::fclose(file);
    stat[got] = '\0';
    const char *close = std::strrchr(stat, ')');
    char state = 0;
    int parent = -1;
    if (!close || std::sscanf(close + 1, " %c %d", &state, &parent) != 2)
        return -1;
    return static_cast<pid_t>(parent);
}

// Ends the box's processes; safe in a signal handler, on any thread.
static void EndBox()
{
    for (std::atomic<int> &held : sdlBox.pidfds) {
        const int pidfd = held.load();
        if (pidfd >= 0)
            syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0);
    }
}

// After a fork, in the game: a new child of the main thread while a box is
// asked for is the box. It is held by a pidfd, and only once /proc says the
// process behind the pidfd is still the game's child: if it ended and its
// number went to another process, the pidfd is of the ended one.
static void BoxForked()
{
    if (!sdlBox.asked.load() || gettid() != sdlBox.gamePid)
        return;
    for (const pid_t child : MainThreadChildren()) {
        if (std::find(sdlBox.known.begin(), sdlBox.known.end(), child) != sdlBox.known.end())
            continue;
        sdlBox.known.push_back(child);
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
        if (pidfd < 0)
            continue;
        bool held = false;
        if (ParentOf(child) == sdlBox.gamePid) {
            for (std::atomic<int> &slot : sdlBox.pidfds) {
                int none = -1;
                if (slot.compare_exchange_strong(none, pidfd)) {
                    held = true;
                    break;
                }
            }
        }
        if (!held)
            close(pidfd);
    }
    // A close request that came before the pidfd was held found nothing to
    // end; the flag is set before the handler looks, the pidfd before this
    if (sdlCloseRequested.load())
        EndBox();
}

// After a fork, in the box: it ends when the game ends, however the game
// ends, and a close signal sent to the box alone ends it too.
static void BoxForkedChild()
{
    if (!sdlBox.asked.load())
        return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The game may have died before the line above took hold
    if (getppid() != sdlBox.gamePid)
        _exit(1);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (const int closing : closeSignals)
        sigaction(closing, &byDefault, nullptr);
}

static void WatchBoxForks()
{
    static bool watching = false;
    if (!watching)
        watching = pthread_atfork(nullptr, BoxForked, BoxForkedChild) == 0;
}

// Around SDL_ShowMessageBox: the children the main thread has before it
// are not the box's.
static void BeginBoxWatch()
{
    sdlBox.gamePid = getpid();
    sdlBox.known = MainThreadChildren();
    sdlBox.asked.store(1);
}

static void EndBoxWatch()
{
    sdlBox.asked.store(0);
    for (std::atomic<int> &held : sdlBox.pidfds) {
        const int pidfd = held.exchange(-1);
        if (pidfd >= 0)
            close(pidfd);
    }
    sdlBox.known.clear();
}

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
    // So it does with no display, where SDL 3 would try a box on Wayland
    // through zenity all the same.
    int  answer = -1;
    bool shown = false;
    if (!sdlCloseRequested.load() && !sdlVideo.noDisplay) {
        BeginBoxWatch();
        shown = SDL_ShowMessageBox(&box, &answer) == 0;
        EndBoxWatch();
        // A box ended by a close request fails on purpose
        if (!shown && !sdlCloseRequested.load())
            Sdl_ReportFailure("SDL_ShowMessageBox");
        shown = shown && !sdlCloseRequested.load();
    }
    if (!shown) {
        // No display to show it on, or the game is closing: the user
        // still learns why
        StderrLine("%s: %s\n", box.title, box.message);
        return question ? IDNO : IDOK;
    }
    // Closed without a button: the safe answer. SDL says the same when the
    // program it runs for the box (zenity, where SDL has no box of its own:
    // Wayland, or no display at all) ended without showing it, as zenity
    // does when it cannot open a display (mutter depends on zenity, so
    // GNOME machines have it): the text goes to stderr too, so that it is
    // never lost.
    if (answer != IDYES && answer != IDNO && answer != IDOK) {
        StderrLine("%s: %s\n", box.title, box.message);
        return question ? IDNO : IDOK;
    }
    return answer;
}
