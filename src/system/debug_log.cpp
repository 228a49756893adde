#include "system/debug_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <unistd.h>

void DebugLog(const char *format, ...)
{
    static char line[2048];
    static const char prefix[] = "DEBUG: ";
    static constexpr size_t prefixLength = sizeof prefix - 1;
    static constexpr size_t endingLength = 2; // CR LF

    // The caller's text goes between the prefix and the line end. A text
    // too long for the buffer is cut there, so the CR LF always fits and
    // a format is never split in the middle of a conversion.
    std::memcpy(line, prefix, prefixLength);
    const size_t room = sizeof line - prefixLength - endingLength;
    va_list args;
    va_start(args, format);
    const int formatted = vsnprintf(line + prefixLength, room, format, args);
    va_end(args);
    if (formatted < 0)
        return;
    size_t length = prefixLength + std::min(static_cast<size_t>(formatted), room - 1);
    line[length++] = '\r';
    line[length++] = '\n';
    // One write per line, so lines never interleave.
    const ssize_t written = write(STDERR_FILENO, line, length);
    (void)written;
}
