#pragma once

#include <cstdint>

// Window messages as the window procedure expects them: Windows message
// ids and parameters, whatever the system underneath delivers.

enum : uint32_t {
    WM_SIZE = 0x0005,       // lParam: client width (low word), height (high word)
    WM_ACTIVATE = 0x0006,   // wParam high word: non-zero while minimised
    WM_CLOSE = 0x0010,      // close box, Alt+F4, SIGINT, SIGTERM
    WM_QUIT = 0x0012,       // wParam: the exit code given to Sys_PostQuitMessage
    WM_KEYDOWN = 0x0100,    // wParam: virtual-key code; repeats while held
    WM_KEYUP = 0x0101,      // wParam: virtual-key code
    WM_SYSKEYDOWN = 0x0104, // keys pressed with Alt, and F10
    WM_SYSKEYUP = 0x0105,
    WM_SYSCOMMAND = 0x0112, // wParam: SC_SCREENSAVE, SC_MONITORPOWER, ...
};

enum : uint32_t {
    SC_SCREENSAVE = 0xF140,
    SC_MONITORPOWER = 0xF170,
};

struct Message {
    uint32_t  message = 0;
    uintptr_t wParam = 0;
    intptr_t  lParam = 0;
};

// The window procedure: handles a message, returns its result.
using WindowProcedure = intptr_t (*)(uint32_t message, uintptr_t wParam, intptr_t lParam);

// Takes the next pending message off the queue; false when it is empty.
bool     Sys_PeekMessage(Message &message);
// Hands a message to the registered window procedure.
void     Sys_DispatchMessage(const Message &message);
// Queues WM_QUIT with exitCode as its wParam.
void     Sys_PostQuitMessage(int exitCode);
// What a window procedure returns for messages it does not handle.
intptr_t Sys_DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
