// Windows' system services: sleep, calendar, start, shutdown, message boxes.

#include "platform/system.h"

#include <cstring>
#include <ctime>

#include "platform/video.h"
#include "system/clock.h"
#include "system/debug_log.h"

#include "platform/win32/win32_backend.h"

void Win32_ReportFailure(const char *step)
{
    const DWORD error = GetLastError();
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   text, sizeof text, nullptr);
    // Windows ends its texts with CR LF
    size_t length = std::strlen(text);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n'))
        text[--length] = '\0';
    StderrLine("%s failed: %s (error %lu)\n", step, text, static_cast<unsigned long>(error));
}

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
// own, so it only sets the flag that Sys_PeekMessage takes. Windows ends
// the process soon after a console closes: the game ends the normal way
// if it can, and the watcher puts the mode back if it cannot.
static BOOL WINAPI RequestClose(DWORD)
{
    InterlockedExchange(&win32CloseRequested, 1);
    return TRUE;
}

void Sys_Init()
{
    // The watcher of the display mode is this program started again: it
    // goes no further
    Guard_RunIfWatcher();

    FindStderr();
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
    if (win32Video.modeChanged)
        Vid_RestoreDisplayMode();
    while (win32Video.cursorHides > 0)
        Vid_ShowCursor(true);
    Pad_Stop();
    Guard_Stop();
    SetClockSource(nullptr);
    Win32_ResetMessages();
}

// [SECTION] Message boxes

int Vid_MessageBox(const char *text, const char *caption, uint32_t flags)
{
    const bool question = (flags & 0x0F) == MB_YESNO;
    // A close request that came first would leave the box waiting for a
    // click that may never come: the text goes to stderr instead. No owner
    // window, as the game always asks.
    const int answer = win32CloseRequested != 0
                           ? 0
                           : MessageBoxA(nullptr, text ? text : "", caption ? caption : "", flags);
    // Windows answers 0 when no box could be shown; Wine with no display
    // answers -1, its dialog's failure
    if (answer <= 0) {
        // No box could be shown (no desktop to show it on): the user still
        // learns why, and the safe answer is taken
        if (win32CloseRequested == 0)
            Win32_ReportFailure("MessageBoxA");
        StderrLine("%s: %s\n", caption ? caption : "", text ? text : "");
        return question ? IDNO : IDOK;
    }
    return answer;
}
