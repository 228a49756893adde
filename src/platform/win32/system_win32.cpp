// Windows' system services: sleep, calendar, start, shutdown, message boxes.

#include "platform/system.h"

#include <cstdlib>
#include <ctime>

#include "platform/video.h"
#include "system/clock.h"
#include "system/debug_log.h"

#include "platform/win32/guardian_win32.h"
#include "platform/win32/win32_backend.h"

// [SECTION] Sleep and time

void Sys_Sleep(uint32_t milliseconds)
{
    // Sleep(0) gives the rest of the time slice to another ready thread
    Sleep(milliseconds);
}

int64_t Sys_Time()
{
    return static_cast<int64_t>(std::time(nullptr));
}

// [SECTION] Start-up and shutdown

// A program built for the GUI subsystem gets no console. Started from one
// (cmd, PowerShell) with nothing redirected, it has no stderr either, and
// the lines that say why a box could not be shown or a step failed would
// be lost: those go to the console it was started from, if any. A stderr
// that was handed over (a pipe, a file) is kept as it is.
static void FindStderr()
{
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error != nullptr && error != INVALID_HANDLE_VALUE)
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    const HANDLE console = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    if (console != INVALID_HANDLE_VALUE)
        SetStdHandle(STD_ERROR_HANDLE, console);
}

// Ctrl+C, Ctrl+Break and closing the console the game was started from ask
// it to close, as SIGINT and SIGTERM do on Linux; runs on a thread of its
// own, so it only sets the flag that Sys_PeekMessage takes.
static BOOL WINAPI RequestClose(DWORD event)
{
    InterlockedExchange(&win32.closeRequested, 1);
    // A closed console (or the session's end) ends the process as soon as
    // this returns. Held here, the game ends the normal way meanwhile (its
    // statistics, the desktop's mode back), and its exit ends this thread
    // too; Windows ends it anyway after its own limit (5 s for a console's
    // close), and the guardian then puts the mode back.
    constexpr DWORD normalEndMs = 20000;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(normalEndMs);
    return TRUE;
}

void Sys_Init()
{
    FindStderr();
    // A second start brings the first game to the front and ends here,
    // before it could touch the display mode
    if (!OneGame_Claim())
        std::exit(0);
    SetClockSource(Win32_Milliseconds);
    SetConsoleCtrlHandler(RequestClose, TRUE);
    // Early, so that it is up by the first mode change
    Guard_Start();
    // Gamepads belong to the player, not to the window: they stay open
    // while F1 makes a new one. Without XInput the keyboard still plays.
    Pad_Start();
}

void Sys_Shutdown()
{
    // Every way out gives the desktop its mode and its cursor back
    if (win32.video.modeChanged)
        Vid_RestoreDisplayMode();
    while (win32.video.cursorHides > 0)
        Vid_ShowCursor(true);
    Pad_Stop();
    Guard_Stop();
    OneGame_Release();
    SetClockSource(nullptr);
    Win32_ResetState();
}

// [SECTION] Message boxes

int Vid_MessageBox(const char *text, const char *caption, uint32_t flags)
{
    const bool question = (flags & 0x0F) == MB_YESNO;
    // A close request that came first would leave the box waiting for a
    // click that may never come: the text goes to stderr instead. No owner
    // window, as the game always asks.
    const int answer = win32.closeRequested != 0
                           ? 0
                           : MessageBoxA(nullptr, text ? text : "", caption ? caption : "", flags);
    // Windows answers 0 when no box could be shown; Wine with no display
    // answers -1, its dialog's failure
    if (answer <= 0) {
        // No box could be shown (no desktop to show it on): the user still
        // learns why, and the safe answer is taken
        if (win32.closeRequested == 0)
            Win32_ReportFailure("MessageBoxA");
        StderrLine("%s: %s\n", caption ? caption : "", text ? text : "");
        return question ? IDNO : IDOK;
    }
    return answer;
}
