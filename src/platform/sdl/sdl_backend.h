#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/player_input.h"

// State shared by the SDL backend's files in src/platform/sdl (video_sdl,
// messages_sdl, gamepad_sdl, system_sdl), and nothing the shell calls.
// Only the SDL types are forward-declared here.

struct SDL_Window;
union SDL_Event;

struct SdlVideoState {
    WindowProcedure procedure = nullptr; // of the registered window class; null when none
    bool        registered = false;      // the window class is registered
    bool        videoStarted = false;    // SDL video is up; it stays up until Sys_Shutdown
    bool        noDisplay = false;       // SDL video found no display: no box can show
    SDL_Window *window = nullptr;        // the one game window; null when none
    bool        glBroken = false;        // the GL driver failed while it was made
    SDL_Window *modeWindow = nullptr;    // holds a changed mode until Vid_CreateWindow takes it
    bool        modeWindowGlBroken = false; // its GL driver failed while it was made
    bool        modeChanged = false;     // the display mode is the game's
    bool        guarded = false;         // and the guardian was told of it (X11)
    bool        cursorHidden = false;    // Vid_ShowCursor(false) is in force
    bool        surfaceTaken = false;    // the window's drawing surface is handed out
    int         surfaceFormat = 0;       // the pixel format set on it, 0 while none
    void       *context = nullptr;       // the game's SDL_GLContext; null when none
};

// Defined in video_sdl.cpp; Sys_Shutdown starts it afresh.
extern SdlVideoState sdlVideo;

// Set by the SIGINT / SIGTERM / SIGHUP / SIGQUIT handler, taken by
// Sys_PeekMessage as one WM_CLOSE. The handler may run on any thread (the
// GL driver's among them), hence an atomic, and one without a lock, which a
// signal handler may touch. Defined in messages_sdl.cpp.
extern std::atomic<int> sdlCloseRequested;
static_assert(std::atomic<int>::is_always_lock_free, "the close handler needs a lock-free flag");

// The video drivers SDL_VIDEODRIVER names, in the order SDL tries them and
// in lower case (SDL takes the comma-separated list in any case); empty
// when it names none, and SDL picks by itself. Defined in system_sdl.cpp.
std::vector<std::string> Sdl_NamedVideoDrivers();

// Writes "step: " and SDL_GetError() to stderr: a failing SDL call says why,
// ahead of the message the game shows for it. Defined in system_sdl.cpp.
void Sdl_ReportFailure(const char *step);

// The SDL window behind a window handle; null for a handle that is not the
// live game window. For tests that need to look at the real window.
SDL_Window *Vid_SdlWindow(struct VidWindow *window);

// Runs change, SDL's request to put window into full screen or out of it.
// On an X display with no window manager the game stands in for one: SDL
// does not wait for its answer meanwhile, and the game then writes the
// window's state as a manager would. Defined in window_manager_x11.cpp.
void Sdl_ChangeFullscreen(SDL_Window *window, bool fullscreen,
                          const std::function<void()> &change);

// Writes "video: ", what happened and the window's state (SDL's driver, the
// window's and its drawable's size, full screen or not, the display's mode)
// to stderr, where QUARVEL_VIDEO_LOG is set to 1: what the end-to-end tests
// read where no display server can show them the game's window. Defined in
// video_sdl.cpp.
void Sdl_LogVideo(SDL_Window *window, const char *what);

// [SECTION] SDL's Wayland driver (wayland_sdl.cpp)

// Destroys an SDL window; on Wayland after taking it off the screen in an
// order that SDL 2.26 and the compositors survive.
void Sdl_DestroyWindow(SDL_Window *window);
// On Wayland, watches the keyboard beside SDL from the first window on, to
// carry a key held through a window change. Does nothing elsewhere.
void Sdl_WaylandWatchKeys(SDL_Window *window);
// Posts the due repeats of a key carried through a window change; before
// SDL's events are read.
void Sdl_WaylandRepeatKeys();
// Lets go of the watch; before SDL_Quit closes the connection under it.
void Sdl_WaylandStop();

// Leaves full screen and shows the cursor again if the game changed them;
// what every way out of the program needs before SDL goes down.
void Vid_RestoreForExit();

// The keyboard and the gamepads as one player: every game key message goes
// through it. Defined in messages_sdl.cpp.
extern PlayerInput sdlPlayer;

// Queues messages made from SDL events, in order, for Sys_PeekMessage.
void Sdl_PostMessages(const std::vector<Message> &messages);
// Forgets every message waiting, a posted quit, the keys held and the way
// each went down, and the player's input; for Sys_Shutdown.
void Sdl_ResetMessages();

// Starts SDL's game-controller system. Pads are opened as SDL announces
// them, those present at the start included, and closed when unplugged.
// False, with SDL's error set, when the system cannot start.
bool Pad_Start();
// Closes every pad, each letting go of the keys it held, and stops the
// game-controller system. Safe to call when it is not running.
void Pad_Stop();
// Turns a game-controller event into key messages; ignores other events.
void Pad_TranslateEvent(const SDL_Event &event);
