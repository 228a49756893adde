// quarvel-guardian.exe: puts the desktop's display mode back when the game
// that started it ends with its mode on the screen (guardian_win32.h).
//
// It acts on nothing but the two handles it inherited, so started by hand
// it can do no harm: without a handle of the very process its command
// line names, and a pipe for its standard input, it ends at once; and the
// most it ever does is restore the desktop's mode, which any program may.

#include <cstdlib>

#include <windows.h>

#include "platform/win32/guardian_win32.h"

// How often, in ms, the pipe is emptied while the game runs, so that it
// never fills and holds the game in its WriteFile.
static constexpr DWORD readEveryMs = 100;

// The game's commands waiting in the pipe, taken; false once the pipe has
// broken (the game closed it, or has gone).
static bool TakeCommands(HANDLE pipe, bool &gamesMode)
{
    for (;;) {
        DWORD waiting = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr))
            return false;
        if (waiting == 0)
            return true;
        char commands[256];
        DWORD got = 0;
        const DWORD wanted = waiting < sizeof commands ? waiting : sizeof commands;
        if (!ReadFile(pipe, commands, wanted, &got, nullptr) || got == 0)
            return false;
        for (DWORD i = 0; i < got; ++i) {
            if (commands[i] == guardianModeChanged)
                gamesMode = true;
            else if (commands[i] == guardianModeRestored)
                gamesMode = false;
        }
    }
}

int main(int argc, char **argv)
{
    if (argc != 3)
        return 1;
    const unsigned long gamePid = std::strtoul(argv[1], nullptr, 10);
    const HANDLE game =
        reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(argv[2], nullptr, 10)));
    const HANDLE pipe = GetStdHandle(STD_INPUT_HANDLE);
    // Only what the game handed down: a handle of the process named beside
    // it, and a pipe
    if (gamePid == 0 || GetProcessId(game) != gamePid || pipe == nullptr ||
        pipe == INVALID_HANDLE_VALUE || GetFileType(pipe) != FILE_TYPE_PIPE)
        return 1;

    // The game's end is waited for, not only the pipe's: whatever else
    // may hold the pipe's write end, the game's process ends with it
    bool gamesMode = false;
    for (;;) {
        const bool ended = WaitForSingleObject(game, readEveryMs) != WAIT_TIMEOUT;
        // What the game wrote before it ended is all in the pipe by now
        const bool open = TakeCommands(pipe, gamesMode);
        if (ended || !open)
            break;
    }
    if (gamesMode)
        ChangeDisplaySettingsW(nullptr, 0);
    return 0;
}
