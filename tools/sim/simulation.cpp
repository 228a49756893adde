#include "sim/simulation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "headless/headless_game.h"
#include "objects/scene_object.h"
#include "platform/offscreen/offscreen_gl.h"
#include "render/render_state.h"
#include "render/text.h"
#include "sim/digest.h"
#include "sim/invariants.h"
#include "sim/png.h"
#include "sim/trace.h"
#include "system/clock.h"
#include "system/opengl.h"
#include "system/key_state.h"
#include "world/world.h"

// The game's window size, drawn offscreen.
static constexpr int drawWidth = 800;
static constexpr int drawHeight = 600;

// The tool's own generator (xorshift64*), so random frame times and keys
// leave the game's draws as they are.
class ToolRandom {
public:
    explicit ToolRandom(uint32_t seed) : state(0x9E3779B97F4A7C15ull ^ seed) {}

    uint64_t Next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
    // 0 <= value < 1
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }

private:
    uint64_t state;
};

static void WriteSummary(std::ostream &out, uint64_t frames, const WorldWatch &watch,
                         size_t maxObjects, long long wallMs)
{
    out << "{\"summary\":{\"frames\":" << frames << ",\"score\":" << world.score
        << ",\"kills\":" << watch.kills << ",\"shipsLost\":" << watch.shipsLost
        << ",\"maxObjects\":" << maxObjects << ",\"wallMs\":" << wallMs << "}}\n";
}

// {"name":"0123456789abcdef"}: a digest as sixteen hex digits.
static std::string DigestLine(const char *name, uint64_t digest)
{
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(digest));
    return std::string("{\"") + name + "\":\"" + hex + "\"}";
}

int RunSimulation(const SimOptions &options, std::ostream &out, std::ostream &err)
{
    const auto wallStart = std::chrono::steady_clock::now();
    ResetHeadlessWorld();

    // As the program does: the render set-up makes the seven lights before
    // the seed is set and the game starts; without it the start makes them.
    if (options.draw) {
        if (!OffscreenGL_Open(drawWidth, drawHeight)) {
            err << "quarvel-sim: no OpenGL context for --draw: " << OffscreenGL_Error() << '\n';
            return 1;
        }
        ResizeViewport(drawWidth, drawHeight);
        SetupRenderState();
    }
    StartHeadlessGame(options.seed);

    WorldWatch watch;
    watch.Start();
    size_t maxObjects = world.objects.size();
    if (options.trace)
        out << TraceLine(0, timeGetTime(), true) << '\n';
    uint64_t digest = options.digest ? FoldWorld(emptyDigest) : 0;
    // With --draw, the pictures too: every pixel of every frame drawn.
    uint64_t pixelDigest = emptyDigest;
    std::vector<uint8_t> pixels(options.draw && (options.digest || !options.png.empty())
                                    ? drawWidth * drawHeight * 4
                                    : 0);

    ToolRandom toolRandom(options.seed);
    size_t nextKey = 0;
    std::vector<KeyEvent> keys = options.keys;
    std::stable_sort(keys.begin(), keys.end(),
                     [](const KeyEvent &a, const KeyEvent &b) { return a.frame < b.frame; });

    int exitCode = 0;
    uint64_t frame = 0;
    while (frame < options.frames) {
        ++frame;
        for (; nextKey < keys.size() && keys[nextKey].frame <= frame; ++nextKey)
            if (keys[nextKey].frame == frame)
                KeyState[keys[nextKey].virtualKey] = keys[nextKey].down ? 1 : 0;
        if (options.randomKeys > 0.0)
            for (const NamedKey &key : simKeys)
                if (toolRandom.Unit() < options.randomKeys)
                    KeyState[key.virtualKey] ^= 1;

        const int frameMs = options.randomFrameMs ? toolRandom.Below(longestFrameMs + 1) : options.frameMs;
        AdvanceClock(static_cast<uint32_t>(frameMs));
        UpdateWorld(frameMs);
        if (options.draw) {
            DrawWorld();
            glFinish();
            if (options.digest) {
                glReadPixels(0, 0, drawWidth, drawHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
                pixelDigest = FoldBytes(pixelDigest, pixels.data(), pixels.size());
            }
        }

        const std::string broken = watch.Observe();
        maxObjects = std::max(maxObjects, world.objects.size());
        if (options.trace)
            out << TraceLine(frame, timeGetTime(), false) << '\n';
        if (options.digest)
            digest = FoldWorld(digest);
        if (options.check && !broken.empty()) {
            err << "quarvel-sim: frame " << frame << ": " << broken << '\n';
            exitCode = 1;
            break;
        }
    }

    const auto wallMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - wallStart)
                            .count();
    if (!options.png.empty()) {
        glReadPixels(0, 0, drawWidth, drawHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        std::string error;
        if (!WritePng(options.png, drawWidth, drawHeight, pixels.data(), error)) {
            err << "quarvel-sim: " << error << '\n';
            exitCode = 1;
        }
    }
    if (options.digest) {
        out << DigestLine("digest", digest) << '\n';
        if (options.draw)
            out << DigestLine("pixels", pixelDigest) << '\n';
    }
    WriteSummary(out, frame, watch, maxObjects, wallMs);

    ResetWorld();
    if (options.draw) {
        glDeleteLists(fontListBase, 256);
        OffscreenGL_Close();
    }
    SetClockSource(nullptr);
    return exitCode;
}
