#include "system/debug_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "system/line_output.h"

// Lines are at most this long: under PIPE_BUF (4096), so a pipe takes a
// whole line in one go or none of it. One byte more holds the terminating
// zero that Windows' debugger output wants.
static char line[2048 + 1];
static constexpr size_t lineRoom = sizeof line - 1;

// Formats into the line after its first `start` bytes, keeping `ending`
// bytes of room behind the text; the length of the text, -1 on a bad format.
static int FormatAfter(size_t start, size_t ending, const char *format, va_list args)
{
    // A text too long for the buffer is cut there, so the ending always
    // fits and a format is never split in the middle of a conversion.
    const size_t room = lineRoom - start - ending;
    const int formatted = vsnprintf(line + start, room, format, args);
    if (formatted < 0)
        return -1;
    return static_cast<int>(std::min(static_cast<size_t>(formatted), room - 1));
}

void DebugLog(const char *format, ...)
{
    static const char prefix[] = "DEBUG: ";
    static constexpr size_t prefixLength = sizeof prefix - 1;
    static constexpr size_t endingLength = 2; // CR LF

    std::memcpy(line, prefix, prefixLength);
    va_list args;
    va_start(args, format);
    const int text = FormatAfter(prefixLength, endingLength, format, args);
    va_end(args);
    if (text < 0)
        return;
    size_t length = prefixLength + static_cast<size_t>(text);
    line[length++] = '\r';
    line[length++] = '\n';
    line[length] = '\0';
    WriteDebugLine(line, length);
}

void StderrLine(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const int text = FormatAfter(0, 0, format, args);
    va_end(args);
    if (text > 0)
        WriteStderrLine(line, static_cast<size_t>(text));
}
