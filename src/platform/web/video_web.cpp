// The window, the display mode and the OpenGL context of a page: the
// canvas, the browser's full screen and a WebGL context drawn through the
// game's own OpenGL 1.1 (gl/web_gl.h).

#include "platform/video.h"

#include <string>

#include <emscripten/emscripten.h>

#include "platform/web/gl/web_gl.h"
#include "platform/web/web_backend.h"
#include "system/debug_log.h"
#include "system/opengl.h"
#include "system/virtual_keys.h"

// The handles are only tokens: there is one class, one canvas, one context.
static VidModule *const moduleToken = reinterpret_cast<VidModule *>(1);
static VidWindow *const windowToken = reinterpret_cast<VidWindow *>(1);
static VidSurface *const surfaceToken = reinterpret_cast<VidSurface *>(1);
static VidGLContext *const contextToken = reinterpret_cast<VidGLContext *>(1);

// [SECTION] The page's side

// The canvas's size in device pixels, made its drawing buffer's size, so
// the picture is sharp at the device's pixel ratio: 800 x 600 CSS pixels
// on the page, the whole screen in full screen.
EM_JS(void, WebFitCanvas, (int *width, int *height), {
    const canvas = document.querySelector("#canvas");
    const ratio = window.devicePixelRatio || 1;
    const w = Math.max(1, Math.round(canvas.clientWidth * ratio));
    const h = Math.max(1, Math.round(canvas.clientHeight * ratio));
    if (canvas.width !== w || canvas.height !== h) {
        canvas.width = w;
        canvas.height = h;
    }
    HEAP32[width >> 2] = w;
    HEAP32[height >> 2] = h;
});

// The browser lets a page take the full screen only soon after a key or a
// click of the player's: F1 is one.
EM_ASYNC_JS(int, WebEnterFullscreen, (), {
    const canvas = document.querySelector("#canvas");
    if (!canvas.requestFullscreen)
        return 0;
    try {
        await canvas.requestFullscreen({navigationUI: "hide"});
        return 1;
    } catch (error) {
        console.error("Full screen refused: " + error.message);
        return 0;
    }
});

EM_JS(void, WebLeaveFullscreen, (), {
    if (document.fullscreenElement)
        document.exitFullscreen().catch(() => {});
});

EM_JS(void, WebShowCursor, (int show), {
    document.querySelector("#canvas").style.cursor = show ? "" : "none";
});

// Waits for the display's next refresh, or with refresh 0 only for the
// browser's other tasks (a message to itself, which unlike a timer has no
// minimum delay). The page keeps the times of the frames shown in
// Module.frameTimes when it has that list.
EM_ASYNC_JS(void, WebWait, (int refresh, int shown), {
    await new Promise(resolve => {
        if (refresh) {
            requestAnimationFrame(resolve);
            return;
        }
        if (!Module.zeroDelay)
            Module.zeroDelay = new MessageChannel();
        Module.zeroDelay.port1.onmessage = resolve;
        Module.zeroDelay.port2.postMessage(0);
    });
    if (shown && Module["frameTimes"])
        Module["frameTimes"].push(performance.now());
});

// The box is the page's (Module.onMessageBox) and the console's; a
// question is the browser's own yes-or-no dialog.
EM_JS(int, WebMessageBox, (const char *text, const char *caption, int question), {
    const body = UTF8ToString(text);
    const title = UTF8ToString(caption);
    const newLine = String.fromCharCode(10);
    console.error(title + ": " + body.split(newLine).join(" "));
    if (Module["onMessageBox"])
        Module["onMessageBox"](title, body);
    if (question)
        return confirm(title + newLine + newLine + body) ? 1 : 0;
    return 1;
});

// [SECTION] Services of the backend

static void FitCanvas()
{
    int width = 0, height = 0;
    WebFitCanvas(&width, &height);
    if (width == webPlatform.drawableWidth && height == webPlatform.drawableHeight)
        return;
    webPlatform.drawableWidth = width;
    webPlatform.drawableHeight = height;
    if (webPlatform.windowOpen)
        Web_Post(WM_SIZE, 0, (width & 0xFFFF) | (static_cast<intptr_t>(height & 0xFFFF) << 16));
}

void Web_WaitForNextFrame(bool shown)
{
    WebWait(webPlatform.swapInterval != 0 ? 1 : 0, shown ? 1 : 0);
    webPlatform.turnedSinceShown = false;
    // A resize, a change of the pixel ratio or of the full screen shows
    // here as a new drawable size.
    FitCanvas();
    Web_PollPads();
}

void Web_FullscreenLeft()
{
    // The browser took the full screen back (its Escape, another
    // window): an F1 brings the game out of its full screen too, so that
    // the next F1 asks for it again. A key-down alone: the loop lets go of
    // F1 itself once it has switched, and a key-up taken in the same turn
    // would undo the press before the loop saw it.
    if (!webPlatform.fullscreen)
        return;
    webPlatform.fullscreen = false;
    Web_Post(WM_KEYDOWN, VK_F1, 1);
}

// [SECTION] The seam

ModuleHandle Vid_RegisterClass(WindowProcedure procedure)
{
    if (!procedure || webPlatform.registered)
        return nullptr;
    webPlatform.procedure = procedure;
    webPlatform.registered = true;
    return moduleToken;
}

bool Vid_UnregisterClass(ModuleHandle module)
{
    if (module != moduleToken || !webPlatform.registered || webPlatform.windowOpen)
        return false;
    webPlatform.registered = false;
    webPlatform.procedure = nullptr;
    return true;
}

bool Vid_ChangeDisplayMode(int, int, int)
{
    // The browser's full screen is the screen at its own size; the game
    // places its 4:3 picture there with black bars (WM_SIZE).
    if (webPlatform.fullscreen)
        return true;
    webPlatform.fullscreen = WebEnterFullscreen() != 0;
    return webPlatform.fullscreen;
}

bool Vid_RestoreDisplayMode()
{
    webPlatform.fullscreen = false;
    WebLeaveFullscreen();
    return true;
}

void Vid_ShowCursor(bool show)
{
    WebShowCursor(show ? 1 : 0);
}

WindowHandle Vid_CreateWindow(ModuleHandle module, const char *, int, int, bool)
{
    if (module != moduleToken || !webPlatform.registered || webPlatform.windowOpen)
        return nullptr;
    webPlatform.windowOpen = true;
    return windowToken;
}

bool Vid_DestroyWindow(WindowHandle window)
{
    if (window != windowToken || !webPlatform.windowOpen)
        return false;
    webPlatform.windowOpen = false;
    return true;
}

void Vid_ShowWindow(WindowHandle window)
{
    if (window != windowToken)
        return;
    // The shell sets the viewport for 800 x 600; the canvas's real size
    // follows as the first message.
    webPlatform.drawableWidth = 0;
    webPlatform.drawableHeight = 0;
    FitCanvas();
}

DeviceContext Vid_GetDeviceContext(WindowHandle window)
{
    if (window != windowToken || !webPlatform.windowOpen || webPlatform.surfaceTaken)
        return nullptr;
    webPlatform.surfaceTaken = true;
    return surfaceToken;
}

bool Vid_ReleaseDeviceContext(WindowHandle window, DeviceContext surface)
{
    if (window != windowToken || surface != surfaceToken || !webPlatform.surfaceTaken)
        return false;
    webPlatform.surfaceTaken = false;
    webPlatform.surfaceFormat = 0;
    return true;
}

int Vid_ChoosePixelFormat(DeviceContext surface, int colourBits, int depthBits)
{
    // WebGL's drawing buffer is 8 bits a channel with a depth buffer of at
    // least 16 bits: the one format there is.
    if (surface != surfaceToken || colourBits > 32 || depthBits > 16)
        return 0;
    return 1;
}

bool Vid_SetPixelFormat(DeviceContext surface, int format)
{
    if (surface != surfaceToken || format != 1 || webPlatform.surfaceFormat != 0)
        return false;
    webPlatform.surfaceFormat = format;
    return true;
}

RenderContext Vid_CreateContext(DeviceContext surface)
{
    if (surface != surfaceToken || webPlatform.surfaceFormat == 0 || webPlatform.contextMade)
        return nullptr;
    std::string error;
    if (!WebGl_CreateContext(webCanvas, &error)) {
        StderrLine("WebGL: %s\n", error.c_str());
        return nullptr;
    }
    webPlatform.contextMade = true;
    return contextToken;
}

bool Vid_MakeCurrent(DeviceContext surface, RenderContext context)
{
    // The context was made current with the canvas it was made on.
    if (surface != surfaceToken || context != contextToken || !webPlatform.contextMade)
        return false;
    webPlatform.contextCurrent = true;
    return true;
}

bool Vid_ReleaseCurrent()
{
    webPlatform.contextCurrent = false;
    return true;
}

bool Vid_DeleteContext(RenderContext context)
{
    if (context != contextToken || !webPlatform.contextMade)
        return false;
    WebGl_DestroyContext();
    webPlatform.contextMade = false;
    webPlatform.contextCurrent = false;
    return true;
}

void Vid_SwapBuffers(DeviceContext surface)
{
    // The browser shows what was drawn when the game gives it its turn;
    // the GL module draws what it still holds first.
    if (surface != surfaceToken)
        return;
    glFlush();
    Web_WaitForNextFrame(true);
}

bool Vid_SetSwapInterval(int interval)
{
    if (!webPlatform.contextCurrent || (interval != 0 && interval != 1))
        return false;
    webPlatform.swapInterval = interval;
    return true;
}

int Vid_MessageBox(const char *text, const char *caption, uint32_t flags)
{
    const bool question = (flags & 0x0F) == MB_YESNO;
    const int answer = WebMessageBox(text, caption, question ? 1 : 0);
    if (question)
        return answer ? IDYES : IDNO;
    return IDOK;
}
