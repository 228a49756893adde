#pragma once

#include <cstddef>

// Where DebugLog's and StderrLine's finished lines go; each system has its
// own. line is length bytes with a terminating zero after them.
void WriteDebugLine(const char *line, size_t length);
void WriteStderrLine(const char *line, size_t length);
// Returns once the lines handed over so far have gone out or been dropped,
// or after a second at most (a reader that stalled gets no more). Windows
// writes its lines from a thread of their own; elsewhere they are out
// already.
void FlushLines();
