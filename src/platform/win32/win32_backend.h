#pragma once

#include <cstdint>
#include <deque>

#include "platform/messages.h"
#include "platform/player_input.h"

#include <windows.h>

// State shared by the Win32 backend's files in src/platform/win32, and
// nothing the shell calls. The game's headers come first: windows.h
// defines the WM_, VK_ and MB_ names as macros, which would rewrite the
// seam's own enums.

struct Win32VideoState {
    WindowProcedure procedure = nullptr; // of the registered window class; null when none
    HINSTANCE instance = nullptr;        // the module the class is registered for
    HWND      window = nullptr;          // the one game window; null when none
    bool      modeChanged = false;       // the display mode is the game's
    int       cursorHides = 0;           // ShowCursor(FALSE) calls not yet given back
};

// Defined in video_win32.cpp.
extern Win32VideoState win32Video;

// The game's window procedure as Windows calls it: hands the message to
// the procedure the shell registered. Defined in messages_win32.cpp.
LRESULT CALLBACK Win32_WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Key messages made by the gamepads, waiting for Sys_PeekMessage, and the
// keyboard and the pads as one player. Defined in messages_win32.cpp.
extern PlayerInput win32Player;
void Win32_PostMessages(const std::vector<Message> &messages);
// Forgets the messages waiting and the player's input; for Sys_Shutdown.
void Win32_ResetMessages();

// Set from a console's Ctrl+C or close, on the console's own thread, and
// taken by Sys_PeekMessage as one WM_CLOSE. Defined in messages_win32.cpp.
extern volatile LONG win32CloseRequested;

// The multimedia timer, timeGetTime from winmm.dll. Defined in
// clock_win32.cpp, the one file that sees mmsystem.h: its timeGetTime
// would clash with the game's own (system/clock.h).
uint32_t Win32_Milliseconds();

// Gamepads through XInput, loaded at run time: a Windows without it still
// runs the game on the keyboard. Pad_Poll reads the pads (at most every few
// ms, an empty slot about once a second) and posts their key messages.
void Pad_Start();
void Pad_Poll();
void Pad_Stop();

// The watcher of the display mode: a second quarvel.exe that puts the
// desktop's mode back when the game ends without doing so (killed by
// Task Manager or taskkill /F). Defined in display_guard_win32.cpp.
// In a process started as the watcher, runs it and never returns.
void Guard_RunIfWatcher();
// Starts the watcher; the game goes on without one if it cannot.
void Guard_Start();
// Around each mode change and restore: the watcher learns whether the
// screen may be showing the game's mode.
void Guard_BeforeModeChange();
void Guard_ModeRestored();
// Lets the watcher go: the game has ended and the mode is back.
void Guard_Stop();

// Writes "step failed: " and Windows' text for GetLastError() to stderr:
// a failing call says why, ahead of the message the game shows for it.
// Defined in system_win32.cpp.
void Win32_ReportFailure(const char *step);
