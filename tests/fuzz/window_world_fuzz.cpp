// Fuzz target: arbitrary message sequences and frame times through the
// window procedure and the update pass, on the scripted backend, so no
// window and no rendering context are needed (the GL calls of a resize go
// to no context and do nothing).
//
// An input is read as little-endian fields; bytes missing at the end read
// as 0. First the clock at the start (4 bytes: a value near 2^32 lets a
// game run across the wrap of the millisecond counter) and the seed of
// the game's generator (4 bytes). Then records, each led by a byte whose
// value modulo 4 says what follows:
//   0  any message: id (4 bytes), wParam (8), lParam (8)
//   1  a key: down when bit 0 of the next byte is clear, then the key code
//      (2 bytes, so codes of 256 and above come up often)
//   2  one frame: the clock moves on by the next 4 bytes, any value; the
//      update gets that time clamped to 200 ms as the frame loop does
//   3  a run of frames: a count (1 byte, taken modulo 32: 1..32 frames)
//      and a frame time (1 byte, 0..255, clamped to 200)
// Every input starts a new game, so each one replays alone, and plays at
// most 256 frames: with the sanitizers a frame of the full world costs
// about 0.1 ms, and short inputs make for many of them.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "headless/headless_game.h"
#include "platform/messages.h"
#include "platform/scripted/scripted.h"
#include "shell/window.h"
#include "sim/invariants.h"
#include "system/clock.h"
#include "system/key_state.h"
#include "world/world.h"

// Up to 51 s of play at the longest frame time, and the clock can jump
// any distance between two frames: enough for kills, splits, a lost ship
// and its replacement.
static constexpr int framesPerInput = 256;

// The input, read field by field.
struct Bytes {
    const uint8_t *data;
    size_t         size;

    bool Empty() const { return size == 0; }

    uint64_t Take(int count)
    {
        uint64_t value = 0;
        for (int i = 0; i < count && size > 0; ++i, ++data, --size)
            value |= static_cast<uint64_t>(*data) << (8 * i);
        return value;
    }
};

[[noreturn]] static void Broken(const std::string &what)
{
    std::fprintf(stderr, "quarvel fuzz: %s\n", what.c_str());
    std::abort();
}

// As the program starts a game: the seven lights, the seed, NewGame; the
// shell's own state as at start-up.
static void StartGame(uint32_t clock, uint32_t seed)
{
    ResetHeadlessWorld();
    ResetScriptedPlatform();
    UseManualClock(clock);
    windowActive = true;
    StartHeadlessGame(seed);
}

// Hands one message to the window procedure and checks what it did to the
// shell's state: a key message touches only its own flag, and only below
// 256; no other message touches KeyState at all.
static void Send(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    unsigned char before[sizeof KeyState];
    std::memcpy(before, KeyState, sizeof KeyState);
    const intptr_t result = GameWindowProc(message, wParam, lParam);

    const bool key = message == WM_KEYDOWN || message == WM_KEYUP;
    if (key && wParam < sizeof KeyState) {
        if (KeyState[wParam] != (message == WM_KEYDOWN ? 1 : 0))
            Broken("key " + std::to_string(wParam) + " has the wrong flag after its message");
        before[wParam] = KeyState[wParam];
    }
    if (std::memcmp(before, KeyState, sizeof KeyState) != 0)
        Broken("message " + std::to_string(message) + " with wParam " + std::to_string(wParam) +
               " changed another key's flag");

    if (message == WM_ACTIVATE && windowActive != (((wParam >> 16) & 0xFFFF) == 0))
        Broken("windowActive does not follow the minimised flag of WM_ACTIVATE");
    const bool handled = key || message == WM_ACTIVATE || message == WM_CLOSE ||
                         message == WM_SIZE;
    if (handled && result != 0)
        Broken("a handled message returned " + std::to_string(result));

    // The scripted backend records every message passed on; the record is
    // not needed here and would only grow.
    scripted.calls.clear();
}

// One frame as the loop runs it: the clock has moved on by elapsedMs (any
// amount, across the wrap too), the update gets at most 200 ms.
static void RunFrame(uint32_t elapsedMs)
{
    AdvanceClock(elapsedMs);
    const uint32_t frameMs = elapsedMs >= longestFrameMs ? longestFrameMs : elapsedMs;
    UpdateWorld(static_cast<int>(frameMs));
    const std::string broken = CheckWorldStructure();
    if (!broken.empty())
        Broken("after a frame of " + std::to_string(frameMs) + " ms: " + broken);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Bytes input{data, size};
    const auto clock = static_cast<uint32_t>(input.Take(4));
    const auto seed = static_cast<uint32_t>(input.Take(4));
    StartGame(clock, seed);

    int frames = 0;
    while (!input.Empty() && frames < framesPerInput) {
        switch (input.Take(1) % 4) {
        case 0: {
            const auto message = static_cast<uint32_t>(input.Take(4));
            const auto wParam = static_cast<uintptr_t>(input.Take(8));
            const auto lParam = static_cast<intptr_t>(input.Take(8));
            Send(message, wParam, lParam);
            break;
        }
        case 1: {
            const bool down = (input.Take(1) & 1) == 0;
            Send(down ? WM_KEYDOWN : WM_KEYUP, static_cast<uintptr_t>(input.Take(2)), 0);
            break;
        }
        case 2:
            RunFrame(static_cast<uint32_t>(input.Take(4)));
            ++frames;
            break;
        default: {
            const int count = static_cast<int>(input.Take(1) % 32) + 1;
            const auto frameMs = static_cast<uint32_t>(input.Take(1));
            for (int i = 0; i < count && frames < framesPerInput; ++i, ++frames)
                RunFrame(frameMs);
            break;
        }
        }
    }

    ResetWorld();
    return 0;
}
