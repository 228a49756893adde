#pragma once

#include <cstdint>
#include <deque>

#include "platform/key_messages.h"
#include "platform/messages.h"
#include "platform/player_input.h"

// State shared by the web backend's files in src/platform/web (system_web,
// messages_web, video_web, gamepad_web), and nothing the shell calls. The
// page is the desktop: its one canvas is the window, the browser's full
// screen is the display mode, and the browser calls the game once a frame.

struct WebPlatform {
    // [The message queue]
    std::deque<Message> pending;          // made from the page's events, not yet taken
    bool        quitPosted = false;       // WM_QUIT waits to be taken
    int         quitCode = 0;             // its wParam
    PlayerInput player;                   // the keyboard and the pads as one player
    PressKind   keyPresses[256] = {};     // how each key's press went out, for its release
    bool        turnedSinceShown = false; // the queue ran dry since the last frame was shown

    // [The window]
    WindowProcedure procedure = nullptr;  // of the registered window class; null when none
    bool        registered = false;       // the window class is registered
    bool        windowOpen = false;       // the canvas is the game's window
    bool        surfaceTaken = false;     // its drawing surface is handed out
    int         surfaceFormat = 0;        // the pixel format set on it, 0 while none
    bool        contextMade = false;      // a WebGL context is on the canvas
    bool        contextCurrent = false;
    bool        fullscreen = false;       // the game holds the browser's full screen
    int         drawableWidth = 0;        // the canvas's size in device pixels
    int         drawableHeight = 0;
    int         swapInterval = 1;         // 1: a frame per display refresh; 0: no wait
};

// Defined in web_state.cpp; Sys_Shutdown starts it afresh.
extern WebPlatform webPlatform;

// The selector of the game's canvas on the page.
constexpr const char *webCanvas = "#canvas";

// Appends a message to the queue. Defined in web_state.cpp.
void Web_Post(uint32_t message, uintptr_t wParam, intptr_t lParam);
// Listens to the page's keys, focus and visibility. Defined in messages_web.cpp.
void Web_ListenToPage();
// Stops listening again.
void Web_StopListening();
// Gives the browser its turn until the next frame is due (the display's
// next refresh, or at once with the swap interval 0), then reads the pads;
// shown: a frame was drawn for the browser to show. Defined in video_web.cpp.
void Web_WaitForNextFrame(bool shown);
// The browser ended the full screen by itself. Defined in video_web.cpp.
void Web_FullscreenLeft();
// Reads every pad and posts the keys they press and let go. Defined in
// gamepad_web.cpp.
void Web_PollPads();
