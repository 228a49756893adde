#include "shell/window.h"

#include "system/opengl.h"

#include "platform/messages.h"
#include "render/render_state.h"
#include "render/text.h"
#include "system/key_state.h"

bool          windowActive = true;
bool          fullscreen = true;
ModuleHandle  instanceHandle = nullptr;
WindowHandle  windowHandle = nullptr;
DeviceContext deviceContext = nullptr;
RenderContext renderContext = nullptr;

// What the pixel format asks for; filled in by the first window and reused.
struct PixelFormatRequest {
    bool filled = false;
    int  colourBits = 0;
    int  depthBits = 0;
};
static PixelFormatRequest pixelFormat;

// Whether renderContext was made current, so the font's lists can be
// deleted in it.
static bool contextCurrent = false;

static void ShowError(const char *text)
{
    Vid_MessageBox(text, "ERROR", MB_OK | MB_ICONEXCLAMATION);
}

static void ShowShutdownError(const char *text)
{
    Vid_MessageBox(text, "SHUTDOWN ERROR", MB_OK | MB_ICONINFORMATION);
}

// Tries the requested mode, then 16 bits per pixel, then 640 x 480 at 16;
// width and height become the size of the mode taken.
static bool ChangeToFullscreenMode(int &width, int &height, int bits)
{
    if (Vid_ChangeDisplayMode(width, height, bits) || Vid_ChangeDisplayMode(width, height, 16))
        return true;
    if (!Vid_ChangeDisplayMode(640, 480, 16))
        return false;
    width = 640;
    height = 480;
    return true;
}

// Releases what was made so far, then tells the user which step failed.
static bool FailOpen(const char *text)
{
    CloseGameWindow();
    ShowError(text);
    return false;
}

bool OpenGameWindow(const char *title, int width, int height, int bits, bool fullscreenFlag)
{
    fullscreen = fullscreenFlag;

    instanceHandle = Vid_RegisterClass(GameWindowProc);
    if (!instanceHandle) {
        ShowError("Failed To Register The Window Class.");
        return false;
    }

    if (fullscreen) {
        // On a screen that fell back to 640 x 480 the window is the
        // screen's size, so that the whole picture is on it, smaller.
        if (ChangeToFullscreenMode(width, height, bits)) {
            Vid_ShowCursor(false);
        } else {
            const int answer = Vid_MessageBox(
                "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed "
                "Mode Instead?",
                "Quarvel", MB_YESNO | MB_ICONEXCLAMATION);
            if (answer != IDYES) {
                Vid_MessageBox("Program Will Now Close.", "ERROR", MB_OK | MB_ICONSTOP);
                return false;
            }
            fullscreen = false;
        }
    }

    windowHandle = Vid_CreateWindow(instanceHandle, title, width, height, fullscreen);
    if (!windowHandle)
        return FailOpen("Window Creation Error.");

    if (!pixelFormat.filled)
        pixelFormat = {true, bits, 16};

    deviceContext = Vid_GetDeviceContext(windowHandle);
    if (!deviceContext)
        return FailOpen("Can't Create A GL Device Context.");
    const int format =
        Vid_ChoosePixelFormat(deviceContext, pixelFormat.colourBits, pixelFormat.depthBits);
    if (format == 0)
        return FailOpen("Can't Find A Suitable PixelFormat.");
    if (!Vid_SetPixelFormat(deviceContext, format))
        return FailOpen("Can't Set The PixelFormat.");
    renderContext = Vid_CreateContext(deviceContext);
    if (!renderContext)
        return FailOpen("Can't Create A GL Rendering Context.");
    if (!Vid_MakeCurrent(deviceContext, renderContext))
        return FailOpen("Can't Activate The GL Rendering Context.");
    contextCurrent = true;

    Vid_ShowWindow(windowHandle);
    ResizeViewport(width, height);
    SetupRenderState();
    return true;
}

void CloseGameWindow()
{
    // Without a current context there are no lists of ours to delete.
    if (contextCurrent)
        glDeleteLists(fontListBase, 256);

    if (fullscreen) {
        Vid_RestoreDisplayMode();
        Vid_ShowCursor(true);
    }
    if (renderContext) {
        if (!Vid_ReleaseCurrent())
            ShowShutdownError("Release Of DC And RC Failed.");
        contextCurrent = false;
        if (!Vid_DeleteContext(renderContext))
            ShowShutdownError("Release Rendering Context Failed.");
        renderContext = nullptr;
    }
    if (deviceContext) {
        if (!Vid_ReleaseDeviceContext(windowHandle, deviceContext))
            ShowShutdownError("Release Device Context Failed.");
        deviceContext = nullptr;
    }
    if (windowHandle) {
        if (!Vid_DestroyWindow(windowHandle))
            ShowShutdownError("Could Not Release hWnd.");
        windowHandle = nullptr;
    }
    if (!Vid_UnregisterClass(instanceHandle))
        ShowShutdownError("Could Not Unregister Class.");
    instanceHandle = nullptr;
}

static uint32_t LowWord(uintptr_t value)
{
    return static_cast<uint32_t>(value & 0xFFFF);
}

static uint32_t HighWord(uintptr_t value)
{
    return static_cast<uint32_t>((value >> 16) & 0xFFFF);
}

intptr_t GameWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case WM_ACTIVATE:
        // Only minimising stops the game; losing the focus does not.
        windowActive = HighWord(wParam) == 0;
        return 0;
    case WM_SYSCOMMAND:
        // No screen saver and no monitor power-off while the game runs.
        if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER)
            return 0;
        return Sys_DefaultWindowProc(message, wParam, lParam);
    case WM_CLOSE:
        // The loop leaves on WM_QUIT and closes the window itself.
        Sys_PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wParam < sizeof KeyState)
            KeyState[wParam] = 1;
        return 0;
    case WM_KEYUP:
        if (wParam < sizeof KeyState)
            KeyState[wParam] = 0;
        return 0;
    case WM_SIZE:
        ResizeViewport(static_cast<int>(LowWord(static_cast<uintptr_t>(lParam))),
                       static_cast<int>(HighWord(static_cast<uintptr_t>(lParam))));
        // A size can come while the window is made, before its context:
        // the set-up then takes the picture's scale.
        if (contextCurrent)
            FollowPictureScale();
        return 0;
    default:
        return Sys_DefaultWindowProc(message, wParam, lParam);
    }
}
