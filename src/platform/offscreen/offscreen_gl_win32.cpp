// The hidden OpenGL context of the tests and tools on Windows: a window of
// its own class that is never shown, with a WGL context on it.

#include "platform/offscreen/offscreen_gl.h"

#include <string>

#include <windows.h>

// The hidden window, its device context and its GL context; null while
// closed.
struct OffscreenGL {
    HWND  window = nullptr;
    HDC   deviceContext = nullptr;
    HGLRC context = nullptr;
};

static OffscreenGL offscreen;
static std::string offscreenError; // why the last OffscreenGL_Open failed
static const char  offscreenClass[] = "QuarvelOffscreenGL";

static bool Fail(const char *step)
{
    offscreenError = std::string(step) + " failed (error " + std::to_string(GetLastError()) + ")";
    OffscreenGL_Close();
    return false;
}

bool OffscreenGL_Open(int width, int height)
{
    OffscreenGL_Close();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    // Registered once per process; a second registration finds it there.
    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = offscreenClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return Fail("RegisterClassA");

    // The client area is width x height; the window is never shown.
    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    offscreen.window = CreateWindowExA(0, offscreenClass, "Quarvel offscreen",
                                       WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                       0, 0, frame.right - frame.left, frame.bottom - frame.top,
                                       nullptr, nullptr, instance, nullptr);
    if (!offscreen.window)
        return Fail("CreateWindowExA");
    offscreen.deviceContext = GetDC(offscreen.window);
    if (!offscreen.deviceContext)
        return Fail("GetDC");

    // Double-buffered RGBA with a 16-bit depth buffer, as the game's window.
    PIXELFORMATDESCRIPTOR format = {};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 32;
    format.cDepthBits = 16;
    format.iLayerType = PFD_MAIN_PLANE;
    const int chosen = ChoosePixelFormat(offscreen.deviceContext, &format);
    if (chosen == 0)
        return Fail("ChoosePixelFormat");
    if (!SetPixelFormat(offscreen.deviceContext, chosen, &format))
        return Fail("SetPixelFormat");
    offscreen.context = wglCreateContext(offscreen.deviceContext);
    if (!offscreen.context)
        return Fail("wglCreateContext");
    if (!wglMakeCurrent(offscreen.deviceContext, offscreen.context))
        return Fail("wglMakeCurrent");
    return true;
}

void OffscreenGL_Close()
{
    if (offscreen.context) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(offscreen.context);
    }
    if (offscreen.deviceContext)
        ReleaseDC(offscreen.window, offscreen.deviceContext);
    if (offscreen.window)
        DestroyWindow(offscreen.window);
    offscreen = OffscreenGL{};
}

const char *OffscreenGL_Error()
{
    return offscreenError.c_str();
}
