#include "system/line_output.h"

#include <windows.h>

// The diagnostic lines go to the debugger's text output, where a debugger
// or DebugView shows them (and Wine's debug channel, with
// WINEDEBUG=warn+debugstr).
void WriteDebugLine(const char *line, size_t)
{
    OutputDebugStringA(line);
}

// The platform's own lines go to stderr when the game has one (started
// from a console or with its output redirected); a game started from the
// desktop has none, and the line is dropped.
void WriteStderrLine(const char *line, size_t length)
{
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(error, line, static_cast<DWORD>(length), &written, nullptr);
}
