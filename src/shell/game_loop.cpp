#include "shell/game_loop.h"

#include <cstdint>

#include "objects/scene_object.h"
#include "platform/messages.h"
#include "platform/system.h"
#include "platform/video.h"
#include "render/render_state.h"
#include "shell/window.h"
#include "system/clock.h"
#include "system/debug_log.h"
#include "system/key_state.h"
#include "system/random.h"
#include "system/virtual_keys.h"
#include "world/world.h"

// The end-to-end tests find the game's window by this title.
static constexpr char windowTitle[] = "Quarvel - by Tobrenik";
static constexpr int windowWidth = 800;
static constexpr int windowHeight = 600;
static constexpr int colourBits = 32;

// Loop state; survives a window re-creation.
struct FrameLoop {
    uint32_t startTime = 0;     // ms, for the statistics only
    uint32_t lastFrameTime = 0; // ms, the previous frame
    uint32_t frameCount = 0;    // frames drawn since the start
};

static FrameLoop loop;

static void RunFrame()
{
    // Unsigned arithmetic gives the true difference across the wrap of
    // the millisecond counter.
    const uint32_t now = timeGetTime();
    uint32_t frameMs = now - loop.lastFrameTime;
    loop.lastFrameTime = now;
    if (frameMs >= longestFrameMs)
        frameMs = longestFrameMs;

    UpdateWorld(static_cast<int>(frameMs));
    DrawWorld();
    Vid_SwapBuffers(deviceContext);
    loop.frameCount += 1;
    Sys_Sleep(0);
}

static void WriteStatistics()
{
    const uint32_t elapsed = timeGetTime() - loop.startTime;
    DebugLog("Time difference: %d", static_cast<int>(elapsed));
    DebugLog("Frames: %d", static_cast<int>(loop.frameCount));
    // The factor is the float 0.001 (0.0010000000474974513) and the rest is
    // double, so 1000 frames in 10 s print as 99.999995.
    const double average =
        static_cast<double>(loop.frameCount) / (static_cast<double>(elapsed) * 0.001f);
    DebugLog("Average FPS: %f", average);
}

int RunGame()
{
    loop = FrameLoop{};
    if (!OpenGameWindow(windowTitle, windowWidth, windowHeight, colourBits, fullscreen))
        return 1;

    GameSrand(static_cast<unsigned int>(Sys_Time()));
    NewGame();
    loop.startTime = timeGetTime();
    loop.lastFrameTime = timeGetTime();

    // Left by WM_QUIT, whose wParam is the exit code, or by Escape, a
    // normal end with code 0.
    int exitCode = 0;
    bool done = false;
    Message message;
    for (;;) {
        // Every pending message first; the rest only when the queue is empty.
        if (Sys_PeekMessage(message)) {
            if (message.message == WM_QUIT) {
                exitCode = static_cast<int>(message.wParam);
                break;
            }
            Sys_DispatchMessage(message);
            continue;
        }

        // While minimised no time is measured and Escape waits.
        if (windowActive) {
            if (KeyState[VK_ESCAPE])
                done = true;
            else
                RunFrame();
        }

        // Each key-down of F1, auto-repeat included, switches once; the
        // world goes on untouched in the new window.
        if (KeyState[VK_F1]) {
            KeyState[VK_F1] = 0;
            CloseGameWindow();
            fullscreen = !fullscreen;
            if (!OpenGameWindow(windowTitle, windowWidth, windowHeight, colourBits, fullscreen))
                return 1;
        }

        // Not cleared: held, they set the interval again every turn, and F2
        // wins over F3.
        if (KeyState[VK_F2])
            SetVSyncState(false);
        else if (KeyState[VK_F3])
            SetVSyncState(true);

        if (done)
            break;
    }

    WriteStatistics();
    CloseGameWindow();
    ClearWorld();
    DebugLog("Program terminated.");
    return exitCode;
}
