#pragma once

#include <string>

// The game's DEBUG lines where each system sends them: stderr on Linux,
// the debugger's channel (OutputDebugStringA) on Windows. Captures one
// stretch of a test at a time.
void        StartDebugLogCapture();
// Everything sent there since StartDebugLogCapture, as one text.
std::string StopDebugLogCapture();
