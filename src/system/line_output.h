#pragma once

#include <cstddef>

// Where DebugLog's and StderrLine's finished lines go; each system has its
// own. line is length bytes with a terminating zero after them.
void WriteDebugLine(const char *line, size_t length);
void WriteStderrLine(const char *line, size_t length);
