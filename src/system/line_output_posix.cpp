#include "system/line_output.h"

#include <poll.h>
#include <unistd.h>

// Writes the line only if stderr takes it now. A log line is worth less
// than the game: a pipe whose reader stalled or a terminal stopped with
// Ctrl+S would otherwise block the main thread in write, and the game would
// freeze. stderr's own O_NONBLOCK is left alone, since the terminal or the
// parent's pipe shares that flag; a pipe reports POLLOUT while it has a free
// page, which holds a whole line.
static void WriteWhenReady(const char *line, size_t length)
{
    pollfd ready{STDERR_FILENO, POLLOUT, 0};
    if (poll(&ready, 1, 0) != 1 || !(ready.revents & POLLOUT))
        return;
    // One write per line, so lines never interleave.
    const ssize_t written = write(STDERR_FILENO, line, length);
    (void)written;
}

// There is no debugger's text output here: the diagnostic lines go to
// stderr too.
void WriteDebugLine(const char *line, size_t length)
{
    WriteWhenReady(line, length);
}

void WriteStderrLine(const char *line, size_t length)
{
    WriteWhenReady(line, length);
}

void FlushLines()
{
}
