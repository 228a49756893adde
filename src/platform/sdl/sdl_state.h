#pragma once

#include <cstdint>
#include <deque>

#include <SDL.h>

#include "platform/key_messages.h"
#include "platform/messages.h"
#include "platform/player_input.h"
#include "platform/process/display_server.h"

// The SDL backend's state: one struct, defined in sdl_state.cpp, reached by
// every file of the backend (src/platform/sdl and its x11/ and wayland/)
// as `sdl`, and started afresh by Sys_Shutdown. Nothing the shell calls.
// The process's own state (signals, the guardian, the display's claim) is
// src/platform/process's.

struct wl_display;
struct wl_seat;
struct wl_keyboard;
struct wl_event_queue;

struct SdlVideoState {
    bool        started = false;         // SDL video is up; it stays up until Sys_Shutdown
    bool        failed = false;          // it would not start: said once, not tried again
    bool        noDisplay = false;       // SDL video found no display: no box can show
    bool        logged = false;          // QUARVEL_VIDEO_LOG=1: what the window does goes to stderr
    WindowProcedure procedure = nullptr; // of the registered window class; null when none
    bool        registered = false;      // the window class is registered
    SDL_Window *window = nullptr;        // the one game window; null when none
    int         askedWidth = 0;          // its client size the shell asked for, in the
    int         askedHeight = 0;         // units it sizes its picture by until a WM_SIZE
    bool        glBroken = false;        // the GL driver failed while it was made
    SDL_Window *modeWindow = nullptr;    // holds a changed mode until Vid_CreateWindow takes it
    bool        modeWindowGlBroken = false; // its GL driver failed while it was made
    bool        modeChanged = false;     // the display mode is the game's
    int         fullScreenDisplay = -1;  // SDL's index of the monitor full screen takes, -1
                                         // until chosen: the primary (SDL's first) on X11,
                                         // where the compositor puts a window on Wayland;
                                         // then where the player's window was
    bool        guarded = false;         // and the guardian was told of it (X11)
    bool        cursorHidden = false;    // Vid_ShowCursor(false) is in force
    bool        surfaceTaken = false;    // the window's drawing surface is handed out
    int         surfaceFormat = 0;       // the pixel format set on it, 0 while none
    SDL_GLContext context = nullptr;     // the game's context; null when none
};

// What the message queue holds between calls.
struct SdlMessageState {
    // Messages made from SDL events and not yet taken: one event can make
    // two (Alt+F4 is a system key and a close request).
    std::deque<Message> pending;
    bool                quitPosted = false; // WM_QUIT waits to be taken
    int                 quitCode = 0;       // its wParam
    // How each virtual key's last press went out, so that its release goes
    // out the same way: a key pressed without Alt and released with Alt
    // held must still clear its KeyState entry, or the ship would thrust on
    // for ever.
    PressKind           keyPresses[256] = {};
    // The code each physical key went down with, 0 while it is up: keypad 8
    // pressed as Up with NumLock off and released after NumLock went on
    // must let go of Up, not of VK_NUMPAD8.
    uint8_t             pressedCodes[SDL_NUM_SCANCODES] = {};
};

// An open pad; its slot number is its pad number in the player's input.
struct OpenPad {
    SDL_GameController *controller = nullptr; // null while the slot is free
    SDL_JoystickID      id = -1;              // SDL's instance id, in the pad's events
};

// The game-controller system and the pads open in it.
struct SdlPadState {
    bool    started = false; // SDL's game-controller system is up
    OpenPad open[maxPads];   // by slot
};

// The key codes the Wayland keyboard watch covers (Linux evdev codes);
// keys beyond them are left to SDL.
constexpr uint32_t evdevKeys = 128;

// The game's own wl_keyboard beside SDL's, on SDL's connection
// (wayland/keyboard_wayland.cpp), and where windows' leftovers are parked
// (wayland/window_wayland.cpp).
struct SdlWaylandState {
    wl_display     *display = nullptr;  // SDL's connection; null until a window is made
    wl_seat        *seat = nullptr;
    wl_keyboard    *keyboard = nullptr;
    bool            focused = false;    // a surface of ours has the keyboard
    bool            held[evdevKeys] = {};
    Uint32          pressedAt[evdevKeys] = {}; // SDL_GetTicks of the press; 0 when unknown
    int             repeatRate = 25;    // repeats per second, 0 for none
    int             repeatDelay = 600;  // ms from a press to its first repeat
    uint32_t        carried = 0;        // a key held through a window change; 0 when none
    Uint32          nextRepeat = 0;     // SDL_GetTicks of its next repeat
    wl_event_queue *parked = nullptr;   // a queue never read; goes with SDL's connection
};

struct SdlState {
    DisplayServer   display;  // decided once, as SDL's video starts
    SdlVideoState   video;
    SdlMessageState messages;
    SdlPadState     pads;
    PlayerInput     player;   // the keyboard and the pads as one player
    SdlWaylandState wayland;
};

extern SdlState sdl;

// Starts the backend's state afresh, for Sys_Shutdown: a second Sys_Init in
// the same process (the tests make several) starts from nothing.
void Sdl_ResetState();

// Writes "step: " and SDL_GetError() to stderr: a failing SDL call says why,
// ahead of the message the game shows for it.
void Sdl_ReportFailure(const char *step);
