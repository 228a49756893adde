#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One scripted key change: before the update of frame (counting from 1).
struct KeyEvent {
    uint32_t frame;
    unsigned virtualKey;
    bool     down;
};

struct SimOptions {
    uint32_t seed = 1;
    uint64_t frames = 600;
    int      frameMs = 16;           // fixed frame time, ms
    bool     randomFrameMs = false;  // 0..longestFrameMs from the tool's own generator
    std::vector<KeyEvent> keys;      // from --keys, in file order
    double   randomKeys = 0.0;       // chance a key flips each frame
    bool     trace = false;
    bool     digest = false;         // one digest of every float of every frame
    bool     draw = false;
    std::string png;                 // --png: the last frame's picture goes here
    bool     check = false;
};

// The keys a script or --random-keys can press, by name.
struct NamedKey {
    const char *name;
    unsigned    virtualKey;
};
extern const NamedKey simKeys[12];

// Parses the command line; on a bad argument returns nothing and sets error
// to a one-line reason.
std::optional<SimOptions> ParseSimOptions(int argc, const char *const argv[], std::string &error);
// Reads "FRAME KEY down|up" lines; blank lines and lines from '#' are skipped.
bool ReadKeyScript(const std::string &path, std::vector<KeyEvent> &keys, std::string &error);

extern const char *const simUsage;
