// The watcher of the display mode. A full-screen change made with
// CDS_FULLSCREEN is never written to the registry, so ChangeDisplaySettingsA
// (NULL, 0) always knows the desktop's own mode; but only a process that
// is still running can call it. The game restores the mode on every way out
// it sees (Escape, the close box, Alt+F4, a failed F1); a game killed by
// Task Manager's End task or taskkill /F sees none. So a second copy of
// quarvel.exe watches: the game tells it through a pipe whether the screen
// may be showing the game's mode, and when the pipe breaks (the game has
// gone, however it went) the watcher puts the desktop's mode back if so.
//
// The watcher inherits nothing: it takes the pipe's read end out of the
// game with DuplicateHandle, given the game's process id and the handle's
// number on its command line, so that no other handle of the game (its
// stderr pipe, say) is held open by it after the game ends.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "system/debug_log.h"

#include "platform/win32/win32_backend.h"

// The watcher's command line: the program, this word, then the game's
// process id, the pipe's read end and the event it sets once it has it.
static constexpr char watcherWord[] = "quarvel-display-watcher";

// What the game writes, one byte each.
enum : char {
    watchModeChanged = 'C',  // the screen may show the game's mode from now on
    watchModeRestored = 'R', // the desktop has its own mode
};

// How long the game waits, before its first mode change, for a watcher
// that is still starting (Windows starts a process in tens of ms, Wine in
// a few hundred).
static constexpr DWORD watcherStartMs = 5000;

struct Win32GuardState {
    HANDLE process = nullptr;  // the watcher; null when none
    HANDLE commands = nullptr; // the pipe's write end
    HANDLE ready = nullptr;    // set by the watcher once it holds the read end
    bool   waited = false;     // the watcher was waited for once
};

static Win32GuardState win32Guard;

// [SECTION] The watcher's side

[[noreturn]] static void Watch(DWORD gamePid, HANDLE gamePipe, HANDLE gameReady)
{
    // Without the game's process there is nothing to watch: it is gone
    // already, or this was not started by it
    const HANDLE game = OpenProcess(PROCESS_DUP_HANDLE, FALSE, gamePid);
    if (!game)
        ExitProcess(0);
    HANDLE pipe = nullptr;
    HANDLE ready = nullptr;
    const BOOL took = DuplicateHandle(game, gamePipe, GetCurrentProcess(), &pipe, 0, FALSE,
                                      DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE);
    DuplicateHandle(game, gameReady, GetCurrentProcess(), &ready, 0, FALSE,
                    DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE);
    CloseHandle(game);
    if (ready) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    if (!took)
        ExitProcess(0);

    bool changed = false;
    char command = 0;
    DWORD got = 0;
    // The pipe breaks when its last write end closes: when the game ends
    while (ReadFile(pipe, &command, 1, &got, nullptr) && got == 1) {
        if (command == watchModeChanged)
            changed = true;
        else if (command == watchModeRestored)
            changed = false;
    }
    if (changed)
        ChangeDisplaySettingsA(nullptr, 0);
    ExitProcess(0);
}

void Guard_RunIfWatcher()
{
    const char *line = GetCommandLineA();
    const char *word = line ? std::strstr(line, watcherWord) : nullptr;
    if (!word)
        return;
    unsigned long pid = 0;
    unsigned long long pipe = 0, ready = 0;
    if (std::sscanf(word + sizeof watcherWord - 1, " %lu %llu %llu", &pid, &pipe, &ready) != 3)
        ExitProcess(1);
    Watch(static_cast<DWORD>(pid), reinterpret_cast<HANDLE>(static_cast<uintptr_t>(pipe)),
          reinterpret_cast<HANDLE>(static_cast<uintptr_t>(ready)));
}

// [SECTION] The game's side

static void CloseIfOpen(HANDLE &handle)
{
    if (handle)
        CloseHandle(handle);
    handle = nullptr;
}

static void Forget()
{
    CloseIfOpen(win32Guard.process);
    CloseIfOpen(win32Guard.commands);
    CloseIfOpen(win32Guard.ready);
    win32Guard.waited = false;
}

void Guard_Start()
{
    Forget();
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program) {
        Win32_ReportFailure("GetModuleFileNameA");
        return;
    }
    HANDLE readEnd = nullptr;
    if (!CreatePipe(&readEnd, &win32Guard.commands, nullptr, 0)) {
        Win32_ReportFailure("CreatePipe");
        return;
    }
    win32Guard.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // The watcher closes the game's copies of both when it takes them
    HANDLE readyForWatcher = nullptr;
    if (win32Guard.ready)
        DuplicateHandle(GetCurrentProcess(), win32Guard.ready, GetCurrentProcess(),
                        &readyForWatcher, 0, FALSE, DUPLICATE_SAME_ACCESS);

    char commandLine[MAX_PATH + 128];
    std::snprintf(commandLine, sizeof commandLine, "\"%s\" %s %lu %llu %llu", program, watcherWord,
                  static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(readEnd)),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(readyForWatcher)));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    // Out of the game's job where the job allows it, so that a launcher
    // that ends the job with the game does not take the watcher too
    BOOL created = CreateProcessA(program, commandLine, nullptr, nullptr, FALSE,
                                  CREATE_BREAKAWAY_FROM_JOB, nullptr, nullptr, &startup, &started);
    if (!created)
        created = CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &started);
    if (!created) {
        Win32_ReportFailure("CreateProcessA (the display-mode watcher)");
        CloseHandle(readEnd);
        if (readyForWatcher)
            CloseHandle(readyForWatcher);
        Forget();
        return;
    }
    CloseHandle(started.hThread);
    win32Guard.process = started.hProcess;
}

static void Tell(char command)
{
    if (!win32Guard.commands)
        return;
    DWORD written = 0;
    WriteFile(win32Guard.commands, &command, 1, &written, nullptr);
}

void Guard_BeforeModeChange()
{
    // A watcher that was lost (ended by hand) is replaced
    if (!win32Guard.process || WaitForSingleObject(win32Guard.process, 0) == WAIT_OBJECT_0)
        Guard_Start();
    if (win32Guard.ready && !win32Guard.waited) {
        win32Guard.waited = true;
        if (WaitForSingleObject(win32Guard.ready, watcherStartMs) != WAIT_OBJECT_0)
            StderrLine("The display-mode watcher did not start in time\n");
    }
    Tell(watchModeChanged);
}

void Guard_ModeRestored()
{
    Tell(watchModeRestored);
}

void Guard_Stop()
{
    Forget();
}
