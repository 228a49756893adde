// The Win32 backend's one state, its reset, and the failure report every
// file of the backend uses.

#include <cstring>

#include "system/debug_log.h"

#include "platform/win32/win32_backend.h"

Win32Backend win32;

void Win32_ResetState()
{
    win32.video = Win32Video{};
    win32.messages = Win32Messages{};
    win32.pads = Win32Pads{};
    win32.guardian = Win32Guardian{};
    win32.player = PlayerInput{};
    win32.oneGame = nullptr;
    InterlockedExchange(&win32.closeRequested, 0);
}

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
