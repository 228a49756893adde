#include "debug_log_capture.h"

#ifdef _WIN32

#include "system/line_output.h"

#include <windows.h>

// OutputDebugStringA raises a debug-print exception for a debugger to see,
// and handles it itself when there is none. A vectored handler sees it
// first, takes a copy of the text and lets it go on as before. The game's
// lines are raised on its log-writing thread: the lines of before the
// capture go out first, and those of the capture before it ends.
static std::string captured;
static PVOID       handler = nullptr;

static LONG CALLBACK CopyDebugString(EXCEPTION_POINTERS *exception)
{
    const EXCEPTION_RECORD *record = exception->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        // The length counts the terminating zero
        const auto length = static_cast<size_t>(record->ExceptionInformation[0]);
        const auto text = reinterpret_cast<const char *>(record->ExceptionInformation[1]);
        if (text && length > 0)
            captured.append(text, length - 1);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

void StartDebugLogCapture()
{
    FlushLines();
    captured.clear();
    if (!handler)
        handler = AddVectoredExceptionHandler(1, CopyDebugString);
}

std::string StopDebugLogCapture()
{
    FlushLines();
    if (handler) {
        RemoveVectoredExceptionHandler(handler);
        handler = nullptr;
    }
    std::string text;
    text.swap(captured);
    return text;
}

#else

#include <gtest/gtest.h>

void StartDebugLogCapture()
{
    testing::internal::CaptureStderr();
}

std::string StopDebugLogCapture()
{
    return testing::internal::GetCapturedStderr();
}

#endif
