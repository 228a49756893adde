#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/gamepad_map.h"
#include "platform/messages.h"
#include "platform/player_input.h"

// The scripted backend, for tests of the shell: the test says what the
// system answers (messages, clock, display modes, message-box answers,
// failing steps) and reads back what the shell asked for, in order.
// OpenGL stays real: a rendering context is an offscreen Mesa context.

struct ScriptedDisplayMode {
    int width, height, bits;
};

struct ScriptedMessageBox {
    std::string text;
    std::string caption;
    uint32_t    flags;
};

// One turn of the message queue: a message, a gamepad event, or an empty
// queue after the clock has moved on by advanceMs.
struct ScriptStep {
    bool     idle = false;
    Message  message;
    uint32_t advanceMs = 0;
    // A gamepad event instead of a message: what it does to the player's
    // input, appending the key messages it makes
    std::function<void(PlayerInput &, std::vector<Message> &)> pad;
};

// Everything the backend holds, so that one assignment starts a test afresh.
struct ScriptedPlatform {
    // What the system answers.
    // step -> which call of it fails (1-based; 0: every call)
    std::map<std::string, int>       failures;
    std::vector<ScriptedDisplayMode> displayModes{{800, 600, 32}, {800, 600, 16}, {640, 480, 16}};
    int                              questionAnswer = 6;  // IDYES
    bool                             swapControl = true;
    std::deque<ScriptStep>           script;
    int64_t                          calendarTime = 1234; // what Sys_Time returns, in s
    std::function<void()>            onIdle;             // runs at every idle turn
    PlayerInput                      player;             // the keyboard and the scripted pads

    // What the shell asked for.
    std::vector<std::string>         calls;          // every step, in order, with its outcome
    std::vector<ScriptedMessageBox>  boxes;
    std::vector<int>                 swapIntervals;
    int                              swaps = 0;
    int                              idleTurns = 0;

    // The backend's own bookkeeping, which tests leave alone.
    std::map<std::string, int>       callCounts;     // step -> calls so far
    WindowProcedure                  windowProcedure = nullptr; // of the registered class
    std::deque<Message>              pendingMessages; // made by one step, not yet taken
    bool                             quitPosted = false; // WM_QUIT waits to be taken
    uintptr_t                        quitCode = 0;       // its wParam
    uintptr_t                        nextHandle = 1;     // handles count up in the order made
    int                              windowWidth = 0;    // client area of the last window made,
    int                              windowHeight = 0;   // the size its context is opened at
    bool                             glOpen = false;     // the offscreen context is open
};

extern ScriptedPlatform scripted;

// Fresh answers, records and bookkeeping, with no GL context open;
// timeGetTime reads the manual clock (system/clock.h) from 0, which idle
// turns move on and a test may set with UseManualClock.
void ResetScriptedPlatform();
// Queues a message for the window procedure.
void ScriptMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
// Queues WM_KEYDOWN or WM_KEYUP for a virtual-key code. Scripted key
// messages are the keyboard's: like the SDL backend's, they meet the pads'
// keys in scripted.player, and a key-up goes out only when no pad holds
// the key.
void ScriptKey(uint32_t virtualKey, bool down);
// Queues a press or release of a gamepad's button; pads count from 0.
void ScriptPadButton(int pad, PadButton button, bool down);
// Queues a move of a gamepad's left stick to (x, y), in SDL units.
void ScriptPadStick(int pad, int x, int y);
// Queues the unplugging of a gamepad.
void ScriptPadRemoved(int pad);
// Queues turns with an empty queue, each after the clock moved advanceMs.
void ScriptIdle(uint32_t advanceMs = 0, int turns = 1);
// Calls whose text starts with prefix, in order.
std::vector<std::string> ScriptedCalls(const std::string &prefix = "");
