// The window class, the display mode, the window and the WGL context,
// each step one Windows call.

#include "platform/video.h"

#include <cstring>

#include "system/opengl.h"

#include "platform/win32/guardian_win32.h"
#include "platform/win32/win32_backend.h"

static constexpr char className[] = "OpenGL";

// The handles the shell holds are Windows' own.
static HINSTANCE InstanceOf(ModuleHandle module)
{
    return reinterpret_cast<HINSTANCE>(module);
}
static HWND WindowOf(WindowHandle window)
{
    return reinterpret_cast<HWND>(window);
}
static HDC DeviceOf(DeviceContext surface)
{
    return reinterpret_cast<HDC>(surface);
}
static HGLRC ContextOf(RenderContext context)
{
    return reinterpret_cast<HGLRC>(context);
}

// [SECTION] Window class

ModuleHandle Vid_RegisterClass(WindowProcedure procedure)
{
    if (!procedure)
        return nullptr;
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    // Redrawn whole on a resize, and one device context of its own that
    // keeps the pixel format and the selected font
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = Win32_WindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className;
    if (!RegisterClassA(&windowClass)) {
        Win32_ReportFailure("RegisterClassA");
        return nullptr;
    }
    win32.video.procedure = procedure;
    win32.video.instance = instance;
    return reinterpret_cast<ModuleHandle>(instance);
}

bool Vid_UnregisterClass(ModuleHandle module)
{
    if (!UnregisterClassA(className, InstanceOf(module)))
        return false;
    win32.video.procedure = nullptr;
    win32.video.instance = nullptr;
    return true;
}

// [SECTION] Display mode and cursor

bool Vid_ChangeDisplayMode(int width, int height, int bits)
{
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof mode);
    mode.dmSize = sizeof mode; // 156 bytes
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmBitsPerPel = static_cast<DWORD>(bits);
    // The guardian knows before the screen changes, so a game killed in
    // the middle of the change still gets the desktop's mode back
    Guard_BeforeModeChange();
    // CDS_FULLSCREEN: a passing change, never written to the registry,
    // which keeps the desktop's own mode for the restore
    if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) {
        if (!win32.video.modeChanged)
            Guard_ModeRestored();
        return false;
    }
    win32.video.modeChanged = true;
    return true;
}

bool Vid_RestoreDisplayMode()
{
    // NULL, 0: back to the mode the registry holds for the desktop
    const bool restored = ChangeDisplaySettingsA(nullptr, 0) == DISP_CHANGE_SUCCESSFUL;
    if (restored) {
        win32.video.modeChanged = false;
        Guard_ModeRestored();
    }
    return restored;
}

void Vid_ShowCursor(bool show)
{
    // Windows counts the hides; each show gives one back
    ShowCursor(show ? TRUE : FALSE);
    win32.video.cursorHides += show ? -1 : 1;
}

// [SECTION] Window

WindowHandle Vid_CreateWindow(ModuleHandle module, const char *title, int width, int height,
                              bool fullscreen)
{
    const DWORD exStyle = fullscreen ? WS_EX_APPWINDOW : WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    const DWORD style = fullscreen ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    // The window around a client area of exactly width x height
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const HWND window = CreateWindowExA(
        exStyle, className, title, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
        InstanceOf(module), nullptr);
    if (!window) {
        Win32_ReportFailure("CreateWindowExA");
        return nullptr;
    }
    win32.video.window = window;
    win32.video.askedClient = {width, height};
    return reinterpret_cast<WindowHandle>(window);
}

bool Vid_DestroyWindow(WindowHandle window)
{
    win32.video.destroying = true;
    const bool destroyed = DestroyWindow(WindowOf(window)) != FALSE;
    win32.video.destroying = false;
    if (!destroyed)
        return false;
    if (win32.video.window == WindowOf(window))
        win32.video.window = nullptr;
    return true;
}

void Vid_ShowWindow(WindowHandle window)
{
    const HWND shown = WindowOf(window);
    ShowWindow(shown, SW_SHOW);
    SetForegroundWindow(shown);
    SetFocus(shown);
    // The shell sizes its first picture by the client size it asked for.
    // Windows makes a window no larger than the desktop can hold (an
    // 800 x 600 window on a 640 x 480 desktop), and the WM_SIZE it sent
    // then came before the GL context: a WM_SIZE with the client area as
    // it is follows, so the picture fits it.
    RECT client;
    if (shown != win32.video.window || !GetClientRect(shown, &client))
        return;
    const SIZE &asked = win32.video.askedClient;
    if (client.right != asked.cx || client.bottom != asked.cy)
        PostMessageA(shown, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

// [SECTION] Device context, pixel format and WGL context

DeviceContext Vid_GetDeviceContext(WindowHandle window)
{
    return reinterpret_cast<DeviceContext>(GetDC(WindowOf(window)));
}

bool Vid_ReleaseDeviceContext(WindowHandle window, DeviceContext surface)
{
    return ReleaseDC(WindowOf(window), DeviceOf(surface)) == 1;
}

int Vid_ChoosePixelFormat(DeviceContext surface, int colourBits, int depthBits)
{
    PIXELFORMATDESCRIPTOR &pixelFormat = win32.video.pixelFormat;
    std::memset(&pixelFormat, 0, sizeof pixelFormat);
    pixelFormat.nSize = sizeof pixelFormat; // 40 bytes
    pixelFormat.nVersion = 1;
    pixelFormat.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pixelFormat.iPixelType = PFD_TYPE_RGBA;
    pixelFormat.cColorBits = static_cast<BYTE>(colourBits);
    pixelFormat.cDepthBits = static_cast<BYTE>(depthBits);
    pixelFormat.iLayerType = PFD_MAIN_PLANE;
    return ChoosePixelFormat(DeviceOf(surface), &pixelFormat);
}

bool Vid_SetPixelFormat(DeviceContext surface, int format)
{
    return SetPixelFormat(DeviceOf(surface), format, &win32.video.pixelFormat) != FALSE;
}

RenderContext Vid_CreateContext(DeviceContext surface)
{
    return reinterpret_cast<RenderContext>(wglCreateContext(DeviceOf(surface)));
}

bool Vid_MakeCurrent(DeviceContext surface, RenderContext context)
{
    return wglMakeCurrent(DeviceOf(surface), ContextOf(context)) != FALSE;
}

bool Vid_ReleaseCurrent()
{
    return wglMakeCurrent(nullptr, nullptr) != FALSE;
}

bool Vid_DeleteContext(RenderContext context)
{
    return wglDeleteContext(ContextOf(context)) != FALSE;
}

void Vid_SwapBuffers(DeviceContext surface)
{
    SwapBuffers(DeviceOf(surface));
}

// [SECTION] Swap control

// wglSwapIntervalEXT, of the swap-control extension
using SwapIntervalExt = BOOL(WINAPI *)(int interval);

bool Vid_SetSwapInterval(int interval)
{
    // The driver names the extension in the context's extension string
    // (a plain substring search), and hands out its entry point by name.
    const char *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    if (!extensions || !std::strstr(extensions, "WGL_EXT_swap_control"))
        return false;
    const auto swapInterval =
        reinterpret_cast<SwapIntervalExt>(reinterpret_cast<void (*)()>(wglGetProcAddress("wglSwapIntervalEXT")));
    return swapInterval && swapInterval(interval) != FALSE;
}
