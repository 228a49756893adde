// The message queue and the window procedure: Windows' own messages, taken
// with PeekMessageA and handed on with TranslateMessage and
// DispatchMessageA, as the frame loop was written for.

#include "platform/messages.h"

#include <vector>

#include "platform/win32/guardian_win32.h"
#include "platform/win32/win32_backend.h"

static void Post(const std::vector<Message> &made)
{
    win32.messages.pending.insert(win32.messages.pending.end(), made.begin(), made.end());
}

// A window that is no longer active gets no key-up for the keys let go
// meanwhile: the keyboard lets go of every key now, as if released (a key
// still held comes back down with its next auto-repeat). Else the ship
// would go on turning after an Alt+Tab.
static void LetGoOfKeyboard()
{
    // lParam of a release: repeat count 1, it was down, it goes up
    constexpr intptr_t release = 1 | (intptr_t(1) << 30) | (intptr_t(1) << 31);
    std::vector<Message> out;
    for (uintptr_t key = 0; key < 256; ++key)
        if (win32.player.holders[key] & 1) // bit 0: the keyboard holds it
            Input_Keyboard(win32.player, Message{WM_KEYUP, key, release}, out);
    Post(out);
}

LRESULT CALLBACK Win32_WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!win32.video.procedure)
        return DefWindowProcA(window, message, wParam, lParam);
    // Not when the game destroys its own window (F1): the keys stay with
    // the player, as before
    if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE && !win32.video.destroying)
        LetGoOfKeyboard();
    const HWND outer = win32.messages.procedureWindow;
    win32.messages.procedureWindow = window;
    const intptr_t result = win32.video.procedure(message, wParam, lParam);
    win32.messages.procedureWindow = outer;
    return static_cast<LRESULT>(result);
}

// A key message of the keyboard for the game's window goes through the
// player's input: a key a gamepad holds stays down when the keyboard lets
// go of it. False when nothing is to go out.
static bool PassesPlayerInput(const MSG &taken)
{
    if (taken.hwnd != win32.video.window || (taken.message != WM_KEYDOWN && taken.message != WM_KEYUP))
        return true;
    std::vector<Message> out;
    Input_Keyboard(win32.player, Message{taken.message, taken.wParam, taken.lParam}, out);
    return !out.empty();
}

bool Sys_PeekMessage(Message &message)
{
    win32.messages.taken = false;
    // A console's Ctrl+C or close asks the game to close, as the close box does
    if (InterlockedExchange(&win32.closeRequested, 0) != 0) {
        message = Message{WM_CLOSE, 0, 0};
        return true;
    }
    MSG taken;
    while (PeekMessageA(&taken, nullptr, 0, 0, PM_REMOVE)) {
        if (!PassesPlayerInput(taken))
            continue;
        win32.messages.last = taken;
        win32.messages.taken = true;
        message = Message{taken.message, taken.wParam, taken.lParam};
        return true;
    }
    // Windows' queue is empty: a guardian that has gone is replaced, and
    // the gamepads' news, if any, follow what was made here
    Guard_ReplaceIfGone();
    std::vector<Message> padKeys;
    Pad_Poll(padKeys);
    Post(padKeys);
    if (win32.messages.pending.empty())
        return false;
    message = win32.messages.pending.front();
    win32.messages.pending.pop_front();
    return true;
}

void Sys_DispatchMessage(const Message &message)
{
    const MSG &last = win32.messages.last;
    if (win32.messages.taken && last.message == message.message && last.wParam == message.wParam &&
        last.lParam == message.lParam) {
        win32.messages.taken = false;
        TranslateMessage(&last);
        DispatchMessageA(&last);
        return;
    }
    // Made here (a gamepad's keys, a console's close): sent to the window
    // like any message, so it reaches the procedure the same way
    if (win32.video.window)
        SendMessageA(win32.video.window, message.message, message.wParam, message.lParam);
    else if (win32.video.procedure)
        win32.video.procedure(message.message, message.wParam, message.lParam);
}

void Sys_PostQuitMessage(int exitCode)
{
    PostQuitMessage(exitCode);
}

intptr_t Sys_DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!win32.messages.procedureWindow)
        return 0;
    return static_cast<intptr_t>(
        DefWindowProcA(win32.messages.procedureWindow, message, wParam, lParam));
}
