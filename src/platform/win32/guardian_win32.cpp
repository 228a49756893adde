// The game's side of the display-mode guardian (guardian_win32.h). A
// full-screen change made with CDS_FULLSCREEN is never written to the
// registry, so ChangeDisplaySettings(NULL, 0) always knows the desktop's
// own mode, but only a process that is still running can call it. The
// game restores the mode on every way out it sees; for the ways out it
// does not see, the guardian does.
//
// The guardian is a program of its own, not quarvel.exe again, so that
// taskkill /F /IM quarvel.exe (the forums' advice for a hung game) does not
// end it with the game. It is given exactly two handles through the list
// of handles CreateProcessW lets it inherit, its pipe's read end and one
// to wait for the game's end: no other handle of the game (its stderr
// pipe, say) stays open in it. It needs no memory of the desktop's mode
// either, so a lost guardian is replaced at once by another, told where
// the game stands.

#include "platform/win32/guardian_win32.h"

#include <cstdio>
#include <string>

#include "system/debug_log.h"

#include "platform/win32/win32_backend.h"

// How often, in ms, the game looks whether its guardian still runs: a
// guardian ended by hand is replaced well before a player could end the
// game too.
static constexpr uint32_t lookEveryMs = 100;

// The folder quarvel.exe was started from, whatever its characters (the
// ANSI calls turn a name outside the code page into question marks), with
// its last backslash; empty when Windows cannot say.
static std::wstring ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        // A full buffer may have cut the path short; a long path is at
        // most 32767 characters
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768)
            return std::wstring();
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

static void CloseIfOpen(HANDLE &handle)
{
    if (handle)
        CloseHandle(handle);
    handle = nullptr;
}

static void Tell(char command)
{
    if (!win32.guardian.commands)
        return;
    DWORD written = 0;
    WriteFile(win32.guardian.commands, &command, 1, &written, nullptr);
}

// Starts the guardian with readEnd as its standard input and a handle of
// the game's own process, the two handles it inherits; its process
// handle, or null (the reason on stderr).
static HANDLE StartGuardian(HANDLE readEnd)
{
    const std::wstring folder = ProgramFolder();
    if (folder.empty()) {
        Win32_ReportFailure("GetModuleFileNameW");
        return nullptr;
    }
    // Enough to wait for the game's end and to learn its id, nothing more
    HANDLE game = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &game,
                         SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0)) {
        Win32_ReportFailure("DuplicateHandle (the game for its guardian)");
        return nullptr;
    }
    const std::wstring program = folder + QUARVEL_GUARDIAN_PROGRAM;
    wchar_t arguments[64];
    std::swprintf(arguments, 64, L" %lu %llu", static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(game)));
    // CreateProcessW may write into the command line
    std::wstring commandLine = L"\"" + program + L"\"" + arguments;

    HANDLE process = nullptr;
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> listMemory(listSize);
    const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listMemory.data());
    HANDLE inherited[] = {readEnd, game};
    if (listSize == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &listSize)) {
        Win32_ReportFailure("InitializeProcThreadAttributeList");
        CloseHandle(game);
        return nullptr;
    }
    if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                   sizeof inherited, nullptr, nullptr)) {
        Win32_ReportFailure("UpdateProcThreadAttribute");
    } else {
        STARTUPINFOEXW startup = {};
        startup.StartupInfo.cb = sizeof startup;
        // The pipe is its standard input; it writes nothing
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = readEnd;
        startup.lpAttributeList = list;
        PROCESS_INFORMATION started = {};
        // Out of the game's job where the job allows it, so that a
        // launcher that ends the job with the game does not take the
        // guardian too
        const DWORD flags = EXTENDED_STARTUPINFO_PRESENT;
        BOOL created = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                      flags | CREATE_BREAKAWAY_FROM_JOB, nullptr, nullptr,
                                      &startup.StartupInfo, &started);
        if (!created)
            created = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                     flags, nullptr, nullptr, &startup.StartupInfo, &started);
        if (created) {
            CloseHandle(started.hThread);
            process = started.hProcess;
        } else {
            Win32_ReportFailure("CreateProcessW (the display-mode guardian)");
        }
    }
    DeleteProcThreadAttributeList(list);
    CloseHandle(game);
    return process;
}

void Guard_Start()
{
    Win32Guardian &guardian = win32.guardian;
    CloseIfOpen(guardian.process);
    CloseIfOpen(guardian.commands);
    HANDLE readEnd = nullptr;
    if (!CreatePipe(&readEnd, &guardian.commands, nullptr, 0)) {
        Win32_ReportFailure("CreatePipe");
        guardian.commands = nullptr;
        return;
    }
    // A guardian that replaces a lost one learns where the game stands
    // before it runs: the pipe holds the byte, whenever the game may end
    // (Wine's CreateProcessW waits for the new process to start)
    if (guardian.gamesMode)
        Tell(guardianModeChanged);
    // Inheritable, for the guardian only: its list of handles to inherit
    // names this one and the game's own
    if (!SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
        Win32_ReportFailure("SetHandleInformation");
        CloseHandle(readEnd);
        CloseIfOpen(guardian.commands);
        return;
    }
    guardian.process = StartGuardian(readEnd);
    // The guardian has its own copy: the pipe breaks when the game's write
    // end closes, and a guardian that never started leaves nothing open
    CloseHandle(readEnd);
    if (!guardian.process) {
        CloseIfOpen(guardian.commands);
        return;
    }
    guardian.lastLook = Win32_Milliseconds();
}

static bool Running(HANDLE process)
{
    return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

void Guard_BeforeModeChange()
{
    // A guardian that could not be started is tried again here
    if (!Running(win32.guardian.process))
        Guard_Start();
    win32.guardian.gamesMode = true;
    Tell(guardianModeChanged);
}

void Guard_ModeRestored()
{
    win32.guardian.gamesMode = false;
    Tell(guardianModeRestored);
}

void Guard_ReplaceIfGone()
{
    Win32Guardian &guardian = win32.guardian;
    if (!guardian.process)
        return;
    const uint32_t now = Win32_Milliseconds();
    if (now - guardian.lastLook < lookEveryMs)
        return;
    guardian.lastLook = now;
    if (Running(guardian.process))
        return;
    StderrLine("The display-mode guardian has ended; starting another\n");
    Guard_Start();
}

void Guard_Stop()
{
    CloseIfOpen(win32.guardian.process);
    // The pipe breaks: the guardian ends, restoring nothing unless the
    // game's mode was last
    CloseIfOpen(win32.guardian.commands);
    win32.guardian.gamesMode = false;
}
