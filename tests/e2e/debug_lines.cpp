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

std::string WineDebugStrings(const std::string &wineStderr)
{
    // 0024:warn:debugstr:OutputDebugStringA "DEBUG: Frames: 546\r\n"
    static const std::string marker = ":warn:debugstr:OutputDebugStringA \"";
    std::string strings;
    std::istringstream in(wineStderr);
    std::string line;
    while (std::getline(in, line)) {
        const size_t start = line.find(marker);
        if (start == std::string::npos || line.size() < start + marker.size() + 1 ||
            line.back() != '"')
            continue;
        // C escapes, as Wine's debugstr writes them
        const std::string quoted =
            line.substr(start + marker.size(), line.size() - start - marker.size() - 1);
        for (size_t i = 0; i < quoted.size(); ++i) {
            if (quoted[i] != '\\' || i + 1 == quoted.size()) {
                strings += quoted[i];
                continue;
            }
            const char escaped = quoted[++i];
            switch (escaped) {
            case 'r': strings += '\r'; break;
            case 'n': strings += '\n'; break;
            case 't': strings += '\t'; break;
            case 'x':
                strings += static_cast<char>(std::stoi(quoted.substr(i + 1, 2), nullptr, 16));
                i += 2;
                break;
            default: strings += escaped; break;
            }
        }
    }
    return strings;
}
