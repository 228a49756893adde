#include "sim/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "objects/scene_object.h"
#include "system/virtual_keys.h"

const NamedKey simKeys[12] = {
    {"space", VK_SPACE}, {"left", VK_LEFT}, {"right", VK_RIGHT}, {"up", VK_UP},
    {"down", VK_DOWN},   {"z", 'Z'},        {"x", 'X'},          {"c", 'C'},
    {"v", 'V'},          {"b", 'B'},        {"n", 'N'},          {"m", 'M'},
};

const char *const simUsage =
    "usage: quarvel-sim [--seed N] [--frames K] [--frame-ms M|random] [--keys FILE] "
    "[--random-keys P] [--trace] [--digest] [--draw [--png FILE]] [--check]";

// A whole number in [low, high], nothing else.
static bool ParseUnsigned(const char *text, uint64_t low, uint64_t high, uint64_t &value)
{
    if (!text || !*text || *text == '-' || *text == '+')
        return false;
    errno = 0;
    char *end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

bool ReadKeyScript(const std::string &path, std::vector<KeyEvent> &keys, std::string &error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read key script " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const size_t comment = line.find('#');
        if (comment != std::string::npos)
            line.erase(comment);
        std::istringstream fields(line);
        std::string frame, name, action, extra;
        if (!(fields >> frame))
            continue;
        uint64_t frameNumber = 0;
        const NamedKey *key = nullptr;
        fields >> name >> action;
        for (const NamedKey &candidate : simKeys)
            if (name == candidate.name)
                key = &candidate;
        if (!ParseUnsigned(frame.c_str(), 1, UINT32_MAX, frameNumber) || !key ||
            (action != "down" && action != "up") || (fields >> extra)) {
            error = path + ":" + std::to_string(number) + ": expected FRAME KEY down|up";
            return false;
        }
        keys.push_back({static_cast<uint32_t>(frameNumber), key->virtualKey, action == "down"});
    }
    return true;
}

std::optional<SimOptions> ParseSimOptions(int argc, const char *const argv[], std::string &error)
{
    SimOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        uint64_t number = 0;
        if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--digest") {
            options.digest = true;
        } else if (arg == "--draw") {
            options.draw = true;
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "--seed") {
            if (!ParseUnsigned(value, 0, UINT32_MAX, number)) {
                error = "--seed needs a whole number from 0 to 4294967295";
                return std::nullopt;
            }
            options.seed = static_cast<uint32_t>(number);
            ++i;
        } else if (arg == "--frames") {
            if (!ParseUnsigned(value, 0, UINT64_MAX / 2, number)) {
                error = "--frames needs a whole number";
                return std::nullopt;
            }
            options.frames = number;
            ++i;
        } else if (arg == "--frame-ms") {
            if (value && std::strcmp(value, "random") == 0) {
                options.randomFrameMs = true;
            } else if (ParseUnsigned(value, 0, longestFrameMs, number)) {
                options.frameMs = static_cast<int>(number);
                options.randomFrameMs = false;
            } else {
                error = "--frame-ms needs a whole number of ms from 0 to " +
                        std::to_string(longestFrameMs) + ", or random";
                return std::nullopt;
            }
            ++i;
        } else if (arg == "--keys") {
            if (!value) {
                error = "--keys needs a file";
                return std::nullopt;
            }
            if (!ReadKeyScript(value, options.keys, error))
                return std::nullopt;
            ++i;
        } else if (arg == "--png") {
            if (!value) {
                error = "--png needs a file";
                return std::nullopt;
            }
            options.png = value;
            ++i;
        } else if (arg == "--random-keys") {
            char *end = nullptr;
            const double p = value ? std::strtod(value, &end) : -1.0;
            if (!value || *end != '\0' || !(p >= 0.0 && p <= 1.0)) {
                error = "--random-keys needs a probability from 0 to 1";
                return std::nullopt;
            }
            options.randomKeys = p;
            ++i;
        } else {
            error = "unknown argument " + arg;
            return std::nullopt;
        }
    }
    // The picture is the last frame drawn: there must be drawing and a frame.
    if (!options.png.empty() && (!options.draw || options.frames == 0)) {
        error = "--png needs --draw and at least one frame";
        return std::nullopt;
    }
    return options;
}
