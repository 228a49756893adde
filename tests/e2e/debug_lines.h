#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

// The game's stderr split into its DEBUG lines ("DEBUG: " + text + CR LF)
// and whatever else is there.
struct StderrLines {
    std::vector<std::string> debug; // the texts, without prefix and CR LF
    std::vector<std::string> other; // any other line, DEBUG lines without CR included
};

StderrLines SplitStderr(const std::string &text);
// How many DEBUG lines have exactly this text.
int CountDebugLines(const StderrLines &lines, const std::string &text);
// The end of every normal shutdown: the three statistics lines, then
// "Program terminated." as the very last thing written.
::testing::AssertionResult EndsWithShutdownLines(const std::string &stderrText);

// The Windows build's DEBUG lines go to the debugger's output, which Wine
// writes to stderr on its debug channel (WINEDEBUG=warn+debugstr), one
// line per OutputDebugStringA, the string quoted and escaped. Returns the
// strings unescaped and in order, as the Linux build writes them to stderr;
// Wine's other lines are left out.
std::string WineDebugStrings(const std::string &wineStderr);
