#include "platform/scripted/scripted.h"

#include <utility>

#include <GL/gl.h>

#include "system/clock.h"
#include "platform/font.h"
#include "platform/offscreen/offscreen_gl.h"
#include "platform/system.h"
#include "platform/video.h"

ScriptedPlatform scripted;

static WindowProcedure     windowProcedure = nullptr;
// Messages one step made and not yet taken: a pad's move can make several.
static std::deque<Message> pendingMessages;
static bool                quitPosted = false;
static uintptr_t           quitCode = 0;
static uintptr_t           nextHandle = 1;

static uint32_t ScriptedClock()
{
    return scripted.now;
}

void ResetScriptedPlatform()
{
    if (scripted.callCounts.count("CreateContext"))
        OffscreenGL_Close();
    scripted = ScriptedPlatform{};
    windowProcedure = nullptr;
    pendingMessages.clear();
    quitPosted = false;
    quitCode = 0;
    nextHandle = 1;
    SetClockSource(ScriptedClock);
}

void ScriptMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    ScriptStep step;
    step.message = Message{message, wParam, lParam};
    scripted.script.push_back(step);
}

void ScriptKey(uint32_t virtualKey, bool down)
{
    ScriptMessage(down ? WM_KEYDOWN : WM_KEYUP, virtualKey, 0);
}

static void ScriptPad(std::function<void(PlayerInput &, std::vector<Message> &)> event)
{
    ScriptStep step;
    step.pad = std::move(event);
    scripted.script.push_back(step);
}

void ScriptPadButton(int pad, PadButton button, bool down)
{
    ScriptPad([=](PlayerInput &player, std::vector<Message> &out) {
        Input_PadButton(player, pad, button, down, out);
    });
}

void ScriptPadStick(int pad, int x, int y)
{
    ScriptPad([=](PlayerInput &player, std::vector<Message> &out) {
        const uint32_t buttons = pad >= 0 && pad < maxPads ? player.pads[pad].buttons : 0;
        Input_Pad(player, pad, buttons, x, y, out);
    });
}

void ScriptPadRemoved(int pad)
{
    ScriptPad([=](PlayerInput &player, std::vector<Message> &out) {
        Input_PadGone(player, pad, out);
    });
}

void ScriptIdle(uint32_t advanceMs, int turns)
{
    for (int i = 0; i < turns; ++i) {
        ScriptStep step;
        step.idle = true;
        step.advanceMs = advanceMs;
        scripted.script.push_back(step);
    }
}

std::vector<std::string> ScriptedCalls(const std::string &prefix)
{
    std::vector<std::string> found;
    for (const std::string &call : scripted.calls)
        if (call.compare(0, prefix.size(), prefix) == 0)
            found.push_back(call);
    return found;
}

// Counts the call and says whether the script makes this one fail.
static bool Fails(const std::string &step)
{
    const int call = ++scripted.callCounts[step];
    const auto failure = scripted.failures.find(step);
    return failure != scripted.failures.end() && (failure->second == 0 || failure->second == call);
}

static std::string Id(const void *handle)
{
    return std::to_string(reinterpret_cast<uintptr_t>(handle));
}

// Runs a release step: records it with the handle and its outcome.
static bool Release(const std::string &step, const void *handle)
{
    const bool ok = !Fails(step);
    scripted.calls.push_back(step + " " + Id(handle) + (ok ? "" : " failed"));
    return ok;
}

// Runs a step that makes a resource: a new handle, or null when it fails.
template <typename Handle>
static Handle Make(const std::string &step)
{
    if (Fails(step)) {
        scripted.calls.push_back(step + " failed");
        return nullptr;
    }
    const Handle handle = reinterpret_cast<Handle>(nextHandle++);
    scripted.calls.push_back(step + " -> " + Id(handle));
    return handle;
}

// [SECTION] messages

bool Sys_PeekMessage(Message &message)
{
    for (;;) {
        if (!pendingMessages.empty()) {
            message = pendingMessages.front();
            pendingMessages.pop_front();
            return true;
        }
        // WM_QUIT comes once the messages already pending are taken.
        if (quitPosted && (scripted.script.empty() || scripted.script.front().idle)) {
            quitPosted = false;
            message = Message{WM_QUIT, quitCode, 0};
            return true;
        }
        if (scripted.script.empty()) {
            // A script that ends without closing the window closes it here,
            // so a faulty test cannot loop for ever.
            scripted.calls.push_back("script exhausted");
            message = Message{WM_CLOSE, 0, 0};
            return true;
        }
        const ScriptStep step = scripted.script.front();
        scripted.script.pop_front();
        if (step.idle) {
            scripted.now += step.advanceMs;
            scripted.idleTurns += 1;
            if (scripted.onIdle)
                scripted.onIdle();
            return false;
        }
        // A pad event may make no message at all (a stick moved inside the
        // dead zone); the queue then goes on to the next step.
        std::vector<Message> made;
        if (step.pad)
            step.pad(scripted.player, made);
        else if (step.message.message == WM_KEYDOWN || step.message.message == WM_KEYUP)
            Input_Keyboard(scripted.player, step.message, made);
        else
            made.push_back(step.message);
        pendingMessages.insert(pendingMessages.end(), made.begin(), made.end());
    }
}

void Sys_DispatchMessage(const Message &message)
{
    if (windowProcedure)
        windowProcedure(message.message, message.wParam, message.lParam);
}

void Sys_PostQuitMessage(int exitCode)
{
    quitPosted = true;
    quitCode = static_cast<uintptr_t>(exitCode);
}

intptr_t Sys_DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t)
{
    scripted.calls.push_back("DefaultWindowProc " + std::to_string(message) + " " +
                             std::to_string(wParam));
    return 0;
}

// [SECTION] video

ModuleHandle Vid_RegisterClass(WindowProcedure procedure)
{
    const ModuleHandle module = Make<ModuleHandle>("RegisterClass");
    if (module)
        windowProcedure = procedure;
    return module;
}

bool Vid_UnregisterClass(ModuleHandle module)
{
    return Release("UnregisterClass", module);
}

bool Vid_ChangeDisplayMode(int width, int height, int bits)
{
    bool offered = false;
    for (const ScriptedDisplayMode &mode : scripted.displayModes)
        offered = offered || (mode.width == width && mode.height == height && mode.bits == bits);
    scripted.calls.push_back("ChangeDisplayMode " + std::to_string(width) + "x" +
                             std::to_string(height) + "x" + std::to_string(bits) +
                             (offered ? "" : " refused"));
    return offered;
}

bool Vid_RestoreDisplayMode()
{
    return Release("RestoreDisplayMode", nullptr);
}

void Vid_ShowCursor(bool show)
{
    scripted.calls.push_back(show ? "ShowCursor true" : "ShowCursor false");
}

WindowHandle Vid_CreateWindow(ModuleHandle, const char *title, int width, int height,
                              bool fullscreen)
{
    const WindowHandle window = Make<WindowHandle>("CreateWindow");
    scripted.calls.back() += std::string(" ") + title + " " + std::to_string(width) + "x" +
                             std::to_string(height) + (fullscreen ? " fullscreen" : " windowed");
    return window;
}

bool Vid_DestroyWindow(WindowHandle window)
{
    return Release("DestroyWindow", window);
}

void Vid_ShowWindow(WindowHandle window)
{
    scripted.calls.push_back("ShowWindow " + Id(window));
}

DeviceContext Vid_GetDeviceContext(WindowHandle)
{
    return Make<DeviceContext>("GetDeviceContext");
}

bool Vid_ReleaseDeviceContext(WindowHandle, DeviceContext surface)
{
    return Release("ReleaseDeviceContext", surface);
}

int Vid_ChoosePixelFormat(DeviceContext, int colourBits, int depthBits)
{
    const bool ok = !Fails("ChoosePixelFormat");
    scripted.calls.push_back("ChoosePixelFormat " + std::to_string(colourBits) + "/" +
                             std::to_string(depthBits) + (ok ? "" : " failed"));
    return ok ? 1 : 0;
}

bool Vid_SetPixelFormat(DeviceContext, int format)
{
    const bool ok = !Fails("SetPixelFormat");
    scripted.calls.push_back("SetPixelFormat " + std::to_string(format) + (ok ? "" : " failed"));
    return ok;
}

RenderContext Vid_CreateContext(DeviceContext)
{
    RenderContext context = Make<RenderContext>("CreateContext");
    // The context is real, so what the shell draws can be read back.
    if (context && !OffscreenGL_Open(800, 600)) {
        scripted.calls.back() += std::string(" (no GL: ") + OffscreenGL_Error() + ")";
        context = nullptr;
    }
    return context;
}

bool Vid_MakeCurrent(DeviceContext, RenderContext context)
{
    return Release("MakeCurrent", context);
}

bool Vid_ReleaseCurrent()
{
    return Release("ReleaseCurrent", nullptr);
}

bool Vid_DeleteContext(RenderContext context)
{
    OffscreenGL_Close();
    return Release("DeleteContext", context);
}

void Vid_SwapBuffers(DeviceContext)
{
    scripted.swaps += 1;
}

bool Vid_SetSwapInterval(int interval)
{
    scripted.swapIntervals.push_back(interval);
    return scripted.swapControl;
}

int Vid_MessageBox(const char *text, const char *caption, uint32_t flags)
{
    scripted.boxes.push_back({text, caption, flags});
    scripted.calls.push_back(std::string("MessageBox ") + caption + ": " + text);
    return (flags & MB_YESNO) ? scripted.questionAnswer : IDOK;
}

// [SECTION] font

bool Font_BuildBitmapLists(const char *face, int pixelHeight, int first, int count, unsigned base)
{
    scripted.calls.push_back(std::string("BuildBitmapLists ") + face + " " +
                             std::to_string(pixelHeight) + " " + std::to_string(first) + ".." +
                             std::to_string(first + count - 1));
    // A plain block for every glyph: 8 pixels wide, advancing 10.
    static const GLubyte block[64] = {
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF};
    const int rows = pixelHeight < 64 ? pixelHeight : 64;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int code = first; code < first + count; ++code) {
        glNewList(base + static_cast<unsigned>(code), GL_COMPILE);
        glBitmap(8, rows, 0.0f, 0.0f, 10.0f, 0.0f, block);
        glEndList();
    }
    return true;
}

// [SECTION] system

void Sys_Sleep(uint32_t milliseconds)
{
    scripted.calls.push_back("Sleep " + std::to_string(milliseconds));
}

int64_t Sys_Time()
{
    return scripted.calendarTime;
}

void Sys_Init()
{
    SetClockSource(ScriptedClock);
}

void Sys_Shutdown()
{
    scripted.calls.push_back("Shutdown");
}
