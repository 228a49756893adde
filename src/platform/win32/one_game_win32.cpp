// One game per desktop session, as on Linux one per display: two games
// would fight over the display mode, and closing one would leave the other
// a full-screen window on the desktop's mode. A double click made twice is
// enough to start two.
//
// The first game makes a small named section in the session's namespace
// and writes its process id there; Windows makes the name for exactly one
// of two games started together, and lets it go when that game ends,
// however it ends. A second start finds the name taken, brings the first
// game's window to the front (restored if minimised) and ends with 0.

#include "system/debug_log.h"

#include "platform/win32/win32_backend.h"

// Local\: this session's desktop; another user's game is not ours.
static constexpr wchar_t claimName[] = L"Local\\Quarvel.OneGame";

// How long a second start waits for the first game's window: the first may
// have been started a moment before and be opening it (Windows takes tens
// of ms, Wine about a second).
static constexpr DWORD windowWaitMs = 10000;
static constexpr DWORD lookEveryMs = 50;

struct FoundWindow {
    DWORD pid;          // the first game's process
    HWND  game;         // its window of the class "OpenGL"
    HWND  other;        // else a window of it (the full-screen question)
};

static BOOL CALLBACK LookAtWindow(HWND window, LPARAM found)
{
    FoundWindow &seek = *reinterpret_cast<FoundWindow *>(found);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != seek.pid || !IsWindowVisible(window))
        return TRUE;
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "OpenGL") == 0) {
        seek.game = window;
        return FALSE;
    }
    if (!seek.other)
        seek.other = window;
    return TRUE;
}

// As a task bar does it: a minimised game comes back, and its window goes
// on top with the keyboard. ShowWindowAsync, so that a first game that is
// busy cannot hold this one.
static bool BringToFront(DWORD pid)
{
    FoundWindow found = {pid, nullptr, nullptr};
    EnumWindows(LookAtWindow, reinterpret_cast<LPARAM>(&found));
    const HWND window = found.game ? found.game : found.other;
    if (!window)
        return false;
    if (IsIconic(window))
        ShowWindowAsync(window, SW_RESTORE);
    SetForegroundWindow(window);
    return true;
}

bool OneGame_Claim()
{
    const HANDLE claim = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(LONG), claimName);
    if (!claim) {
        Win32_ReportFailure("One game per session not ensured: CreateFileMappingW");
        return true;
    }
    const bool first = GetLastError() != ERROR_ALREADY_EXISTS;
    auto *gamePid = static_cast<volatile LONG *>(
        MapViewOfFile(claim, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(LONG)));
    if (!gamePid) {
        Win32_ReportFailure("One game per session not ensured: MapViewOfFile");
        CloseHandle(claim);
        return true;
    }
    if (first) {
        InterlockedExchange(gamePid, static_cast<LONG>(GetCurrentProcessId()));
        UnmapViewOfFile(const_cast<LONG *>(gamePid));
        win32.oneGame = claim;
        return true;
    }
    // The first game writes its id just after making the name, and opens
    // its window a little later
    for (DWORD waited = 0; waited < windowWaitMs; waited += lookEveryMs) {
        const LONG pid = InterlockedCompareExchange(gamePid, 0, 0);
        if (pid != 0 && BringToFront(static_cast<DWORD>(pid)))
            break;
        Sleep(lookEveryMs);
    }
    UnmapViewOfFile(const_cast<LONG *>(gamePid));
    CloseHandle(claim);
    return false;
}

void OneGame_Release()
{
    if (win32.oneGame)
        CloseHandle(win32.oneGame);
    win32.oneGame = nullptr;
}
