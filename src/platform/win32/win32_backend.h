#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/messages.h"
#include "platform/player_input.h"

#include <windows.h>

// The Win32 backend's state and what its files in src/platform/win32 call
// in each other; nothing the shell calls. The game's headers come first:
// windows.h defines the WM_, VK_ and MB_ names as macros, which would
// rewrite the seam's own enums.

// [SECTION] State

// The window class, the window and the display mode (video_win32.cpp).
struct Win32Video {
    WindowProcedure procedure = nullptr; // of the registered window class; null when none
    HINSTANCE instance = nullptr;        // the module the class is registered for
    HWND      window = nullptr;          // the one game window; null when none
    SIZE      askedClient = {};          // the client size the window was made for
    bool      modeChanged = false;       // the display mode is the game's
    int       cursorHides = 0;           // ShowCursor(FALSE) calls not yet given back
    bool      destroying = false;        // the game is destroying its window (F1, the end)
    PIXELFORMATDESCRIPTOR pixelFormat = {}; // the format was chosen with, for SetPixelFormat
};

// What the queue holds beside Windows' own (messages_win32.cpp).
struct Win32Messages {
    // Key messages made here (the gamepads, a lost focus), not yet taken.
    std::deque<Message> pending;
    // The message Sys_PeekMessage took last from Windows' queue, kept whole
    // (window, time, cursor position) for TranslateMessage and
    // DispatchMessageA; taken is false once it has been handed on.
    MSG  last = {};
    bool taken = false;
    // The window the procedure is running for, for DefWindowProcA; the
    // procedure can be entered again from inside a call it makes.
    HWND procedureWindow = nullptr;
};

// XInput's pads (gamepad_win32.cpp). XUSER_MAX_COUNT is 4.
using XInputGetStateProc = DWORD(WINAPI *)(DWORD pad, void *state);
constexpr int win32PadSlots = 4;
struct Win32Pads {
    HMODULE            library = nullptr;  // xinput1_4.dll, 1_3 or 9_1_0; null without
    XInputGetStateProc getState = nullptr;
    bool     connected[win32PadSlots] = {};
    DWORD    packet[win32PadSlots] = {};   // the reading last turned into keys
    uint32_t lastRead = 0;                 // ms
    uint32_t lastSearch = 0;               // ms
    bool     searched = false;             // the empty slots were looked at once
};

// The game's side of the display-mode guardian (guardian_win32.cpp).
struct Win32Guardian {
    HANDLE   process = nullptr;  // quarvel-guardian.exe; null when none
    HANDLE   commands = nullptr; // the write end of its pipe
    bool     gamesMode = false;  // last told: the screen may show the game's mode
    uint32_t lastLook = 0;       // ms, when the guardian was last seen running
};

struct Win32Backend {
    Win32Video    video;
    Win32Messages messages;
    Win32Pads     pads;
    Win32Guardian guardian;
    // The keyboard and the pads as one player.
    PlayerInput   player;
    // The one-game claim (one_game_win32.cpp), held for the whole run.
    HANDLE        oneGame = nullptr;
    // Set from a console's Ctrl+C or close, on the console's own thread, and
    // taken by Sys_PeekMessage as one WM_CLOSE.
    volatile LONG closeRequested = 0;
};

// Defined in win32_backend.cpp.
extern Win32Backend win32;

// Back to the start state, for Sys_Shutdown once every handle is closed.
void Win32_ResetState();

// Writes "step failed: " and Windows' text for GetLastError() to stderr:
// a failing call says why, ahead of the message the game shows for it.
void Win32_ReportFailure(const char *step);

// [SECTION] Services of the backend's files

// The game's window procedure as Windows calls it: hands the message to
// the procedure the shell registered. Defined in messages_win32.cpp.
LRESULT CALLBACK Win32_WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The multimedia timer, timeGetTime from winmm.dll. Defined in
// clock_win32.cpp, the one file that sees mmsystem.h: its timeGetTime
// would clash with the game's own (system/clock.h).
uint32_t Win32_Milliseconds();

// Gamepads through XInput, loaded at run time: a Windows without it still
// runs the game on the keyboard. Pad_Poll reads the pads (at most every
// few ms, an empty slot about once a second) and appends their key
// messages to out; while the game is not in front it reads nothing, and
// the pads let go of what they held. Defined in gamepad_win32.cpp.
void Pad_Start();
void Pad_Poll(std::vector<Message> &out);
void Pad_Stop();

// One game per desktop session. True when this is the only one; false when
// another runs, which has been brought to the front. Defined in
// one_game_win32.cpp.
bool OneGame_Claim();
void OneGame_Release();
