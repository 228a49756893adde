// The message queue and the window procedure: Windows' own messages, taken
// with PeekMessageA and handed on with TranslateMessage and
// DispatchMessageA, as the frame loop was written for.

#include "platform/messages.h"

#include <vector>

#include "platform/win32/win32_backend.h"

PlayerInput   win32Player;
volatile LONG win32CloseRequested = 0;

// What the queue holds beside Windows' own; Sys_Shutdown starts it afresh.
struct Win32MessageState {
    // Key messages the gamepads made, not yet taken.
    std::deque<Message> pending;
    // The message Sys_PeekMessage took last from Windows' queue, kept whole
    // (window, time, cursor position) for TranslateMessage and
    // DispatchMessageA; taken is false once it has been handed on.
    MSG  last = {};
    bool taken = false;
    // The window the procedure is running for, for DefWindowProcA; the
    // procedure can be entered again from inside a call it makes.
    HWND procedureWindow = nullptr;
};

static Win32MessageState win32Messages;

void Win32_PostMessages(const std::vector<Message> &made)
{
    win32Messages.pending.insert(win32Messages.pending.end(), made.begin(), made.end());
}

void Win32_ResetMessages()
{
    win32Messages = Win32MessageState{};
    win32Player = PlayerInput{};
}

LRESULT CALLBACK Win32_WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!win32Video.procedure)
        return DefWindowProcA(window, message, wParam, lParam);
    const HWND outer = win32Messages.procedureWindow;
    win32Messages.procedureWindow = window;
    const intptr_t result = win32Video.procedure(message, wParam, lParam);
    win32Messages.procedureWindow = outer;
    return static_cast<LRESULT>(result);
}

// A key message of the keyboard for the game's window goes through the
// player's input: a key a gamepad holds stays down when the keyboard lets
// go of it. False when nothing is to go out.
static bool PassesPlayerInput(const MSG &taken)
{
    if (taken.hwnd != win32Video.window || (taken.message != WM_KEYDOWN && taken.message != WM_KEYUP))
        return true;
    std::vector<Message> out;
    Input_Keyboard(win32Player, Message{taken.message, taken.wParam, taken.lParam}, out);
    return !out.empty();
}

bool Sys_PeekMessage(Message &message)
{
    win32Messages.taken = false;
    // A console's Ctrl+C or close asks the game to close, as the close box does
    if (InterlockedExchange(&win32CloseRequested, 0) != 0) {
        message = Message{WM_CLOSE, 0, 0};
        return true;
    }
    MSG taken;
    while (PeekMessageA(&taken, nullptr, 0, 0, PM_REMOVE)) {
        if (!PassesPlayerInput(taken))
            continue;
        win32Messages.last = taken;
        win32Messages.taken = true;
        message = Message{taken.message, taken.wParam, taken.lParam};
        return true;
    }
    // Windows' queue is empty: the gamepads' news, if any
    Pad_Poll();
    if (win32Messages.pending.empty())
        return false;
    message = win32Messages.pending.front();
    win32Messages.pending.pop_front();
    return true;
}

void Sys_DispatchMessage(const Message &message)
{
    const MSG &last = win32Messages.last;
    if (win32Messages.taken && last.message == message.message && last.wParam == message.wParam &&
        last.lParam == message.lParam) {
        win32Messages.taken = false;
        TranslateMessage(&last);
        DispatchMessageA(&last);
        return;
    }
    // Made here (a gamepad's keys, a console's close): sent to the window
    // like any message, so it reaches the procedure the same way
    if (win32Video.window)
        SendMessageA(win32Video.window, message.message, message.wParam, message.lParam);
    else if (win32Video.procedure)
        win32Video.procedure(message.message, message.wParam, message.lParam);
}

void Sys_PostQuitMessage(int exitCode)
{
    PostQuitMessage(exitCode);
}

intptr_t Sys_DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!win32Messages.procedureWindow)
        return 0;
    return static_cast<intptr_t>(
        DefWindowProcA(win32Messages.procedureWindow, message, wParam, lParam));
}
