// The headless tools' video on Windows: their one context is the hidden
// offscreen one (offscreen_gl.h), so of the window system only swap control
// is asked for, through the WGL extension where the driver has it.

#include "platform/video.h"

#include <windows.h>

bool Vid_SetSwapInterval(int interval)
{
    using SwapIntervalProc = BOOL(WINAPI *)(int);
    // Entry points belong to the current context, so it is looked up on
    // every call; the tools call this once or twice.
    // Through void (*)(), the type for a function of unknown type
    const auto swapInterval = reinterpret_cast<SwapIntervalProc>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglSwapIntervalEXT")));
    return swapInterval && swapInterval(interval);
}
