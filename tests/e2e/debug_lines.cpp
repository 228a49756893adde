#include "debug_lines.h"

#include <regex>
#include <sstream>

static const std::string debugPrefix = "DEBUG: ";

StderrLines SplitStderr(const std::string &text)
{
    StderrLines lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const bool debug = line.rfind(debugPrefix, 0) == 0;
        if (debug && line.back() == '\r') {
            const size_t textLength = line.size() - debugPrefix.size() - 1;
            lines.debug.push_back(line.substr(debugPrefix.size(), textLength));
        } else {
            lines.other.push_back(line);
        }
    }
    return lines;
}

int CountDebugLines(const StderrLines &lines, const std::string &text)
{
    int count = 0;
    for (const std::string &line : lines.debug)
        count += line == text ? 1 : 0;
    return count;
}

::testing::AssertionResult EndsWithShutdownLines(const std::string &stderrText)
{
    const std::string last = debugPrefix + "Program terminated.\r\n";
    if (stderrText.size() < last.size() ||
        stderrText.compare(stderrText.size() - last.size(), last.size(), last) != 0)
        return ::testing::AssertionFailure()
               << "stderr does not end with \"DEBUG: Program terminated.\" and CR LF:\n"
               << stderrText;

    const StderrLines lines = SplitStderr(stderrText);
    const std::vector<std::string> &debug = lines.debug;
    if (debug.size() < 4)
        return ::testing::AssertionFailure() << "fewer than four DEBUG lines:\n" << stderrText;
    static const std::regex expected[] = {
        std::regex("Time difference: [0-9]+"),
        std::regex("Frames: [0-9]+"),
        std::regex("Average FPS: [0-9]+\\.[0-9]{6}"),
        std::regex("Program terminated\\."),
    };
    for (size_t i = 0; i < 4; ++i) {
        const std::string &line = debug[debug.size() - 4 + i];
        if (!std::regex_match(line, expected[i]))
            return ::testing::AssertionFailure()
                   << "DEBUG line " << i + 1 << " of the last four is \"" << line
                   << "\"; the end of stderr:\n"
                   << stderrText;
    }
    return ::testing::AssertionSuccess();
}
