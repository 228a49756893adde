// The scripted backend: every platform service answered from the test's script.

#include "platform/scripted/scripted.h"

#include <cstring>
#include <utility>

#include "system/opengl.h"

#include "platform/font.h"
#include "platform/offscreen/offscreen_gl.h"
#include "platform/system.h"
#include "platform/video.h"
#include "system/clock.h"

ScriptedPlatform scripted;

void ResetScriptedPlatform()
{
    // Only the context this backend opened: a test may hold one of its own
    if (scripted.glOpen)
        OffscreenGL_Close();
    scripted = ScriptedPlatform{};
    UseManualClock(0);
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

// Counts a call of step and says whether the script makes this one fail.
static bool CountCallAndCheckFailure(const std::string &step)
{
    const int call = ++scripted.callCounts[step];
    const auto failure = scripted.failures.find(step);
    return failure != scripted.failures.end() && (failure->second == 0 || failure->second == call);
}

// Writes one line of the transcript: the step, then what it was given and
// what came of it.
static void Record(const std::string &step, const std::string &details = "")
{
    scripted.calls.push_back(details.empty() ? step : step + " " + details);
}

// The number the transcript knows a handle by; 0 for none.
static std::string HandleNumber(const void *handle)
{
    return std::to_string(reinterpret_cast<uintptr_t>(handle));
}

// A new handle for a step that makes a resource, numbered in the order
// made, or null when the script makes the call fail; not yet recorded.
template <typename Handle>
static Handle NewHandleUnlessFailing(const std::string &step)
{
    if (CountCallAndCheckFailure(step))
        return nullptr;
    return reinterpret_cast<Handle>(scripted.nextHandle++);
}

// How the transcript gives a make step's outcome.
static std::string MadeOutcome(const void *handle)
{
    return handle ? "-> " + HandleNumber(handle) : "failed";
}

// Runs a step that makes a resource and records it with its new handle
// (or its failure), then what it was given.
template <typename Handle>
static Handle MakeAndRecordHandle(const std::string &step, const std::string &given = "")
{
    const Handle handle = NewHandleUnlessFailing<Handle>(step);
    Record(step, MadeOutcome(handle) + (given.empty() ? "" : " " + given));
    return handle;
}

// Runs a release step and records it with the handle and its outcome.
static bool ReleaseAndRecord(const std::string &step, const void *handle)
{
    const bool ok = !CountCallAndCheckFailure(step);
    Record(step, HandleNumber(handle) + (ok ? "" : " failed"));
    return ok;
}

// [SECTION] messages

bool Sys_PeekMessage(Message &message)
{
    for (;;) {
        if (!scripted.pendingMessages.empty()) {
            message = scripted.pendingMessages.front();
            scripted.pendingMessages.pop_front();
            return true;
        }
        // WM_QUIT comes once the messages already pending are taken.
        if (scripted.quitPosted && (scripted.script.empty() || scripted.script.front().idle)) {
            scripted.quitPosted = false;
            message = Message{WM_QUIT, scripted.quitCode, 0};
            return true;
        }
        if (scripted.script.empty()) {
            // A script that ends without closing the window closes it here,
            // so a faulty test cannot loop for ever.
            Record("script exhausted");
            message = Message{WM_CLOSE, 0, 0};
            return true;
        }
        const ScriptStep step = scripted.script.front();
        scripted.script.pop_front();
        if (step.idle) {
            AdvanceClock(step.advanceMs);
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
        scripted.pendingMessages.insert(scripted.pendingMessages.end(), made.begin(), made.end());
    }
}

void Sys_DispatchMessage(const Message &message)
{
    if (scripted.windowProcedure)
        scripted.windowProcedure(message.message, message.wParam, message.lParam);
}

void Sys_PostQuitMessage(int exitCode)
{
    scripted.quitPosted = true;
    scripted.quitCode = static_cast<uintptr_t>(exitCode);
}

intptr_t Sys_DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t)
{
    Record("DefaultWindowProc", std::to_string(message) + " " + std::to_string(wParam));
    return 0;
}

// [SECTION] video

ModuleHandle Vid_RegisterClass(WindowProcedure procedure)
{
    const ModuleHandle module = MakeAndRecordHandle<ModuleHandle>("RegisterClass");
    if (module)
        scripted.windowProcedure = procedure;
    return module;
}

bool Vid_UnregisterClass(ModuleHandle module)
{
    return ReleaseAndRecord("UnregisterClass", module);
}

bool Vid_ChangeDisplayMode(int width, int height, int bits)
{
    bool offered = false;
    for (const ScriptedDisplayMode &mode : scripted.displayModes)
        offered = offered || (mode.width == width && mode.height == height && mode.bits == bits);
    Record("ChangeDisplayMode", std::to_string(width) + "x" + std::to_string(height) + "x" +
                                    std::to_string(bits) + (offered ? "" : " refused"));
    return offered;
}

bool Vid_RestoreDisplayMode()
{
    return ReleaseAndRecord("RestoreDisplayMode", nullptr);
}

void Vid_ShowCursor(bool show)
{
    Record("ShowCursor", show ? "true" : "false");
}

WindowHandle Vid_CreateWindow(ModuleHandle, const char *title, int width, int height,
                              bool fullscreen)
{
    const WindowHandle window = MakeAndRecordHandle<WindowHandle>(
        "CreateWindow", std::string(title) + " " + std::to_string(width) + "x" +
                            std::to_string(height) + (fullscreen ? " fullscreen" : " windowed"));
    if (window) {
        scripted.windowWidth = width;
        scripted.windowHeight = height;
    }
    return window;
}

bool Vid_DestroyWindow(WindowHandle window)
{
    return ReleaseAndRecord("DestroyWindow", window);
}

void Vid_ShowWindow(WindowHandle window)
{
    Record("ShowWindow", HandleNumber(window));
}

DeviceContext Vid_GetDeviceContext(WindowHandle)
{
    return MakeAndRecordHandle<DeviceContext>("GetDeviceContext");
}

bool Vid_ReleaseDeviceContext(WindowHandle, DeviceContext surface)
{
    return ReleaseAndRecord("ReleaseDeviceContext", surface);
}

int Vid_ChoosePixelFormat(DeviceContext, int colourBits, int depthBits)
{
    const bool ok = !CountCallAndCheckFailure("ChoosePixelFormat");
    Record("ChoosePixelFormat",
           std::to_string(colourBits) + "/" + std::to_string(depthBits) + (ok ? "" : " failed"));
    return ok ? 1 : 0;
}

bool Vid_SetPixelFormat(DeviceContext, int format)
{
    const bool ok = !CountCallAndCheckFailure("SetPixelFormat");
    Record("SetPixelFormat", std::to_string(format) + (ok ? "" : " failed"));
    return ok;
}

RenderContext Vid_CreateContext(DeviceContext)
{
    const RenderContext context = NewHandleUnlessFailing<RenderContext>("CreateContext");
    // The context is real and of the window's size, so what the shell draws
    // can be read back.
    std::string noGl;
    if (context) {
        scripted.glOpen = OffscreenGL_Open(scripted.windowWidth, scripted.windowHeight);
        if (!scripted.glOpen)
            noGl = std::string(" (no GL: ") + OffscreenGL_Error() + ")";
    }
    Record("CreateContext", MadeOutcome(context) + noGl);
    return scripted.glOpen ? context : nullptr;
}

bool Vid_MakeCurrent(DeviceContext, RenderContext context)
{
    return ReleaseAndRecord("MakeCurrent", context);
}

bool Vid_ReleaseCurrent()
{
    return ReleaseAndRecord("ReleaseCurrent", nullptr);
}

bool Vid_DeleteContext(RenderContext context)
{
    OffscreenGL_Close();
    scripted.glOpen = false;
    return ReleaseAndRecord("DeleteContext", context);
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
    Record("MessageBox", std::string(caption) + ": " + text);
    return (flags & MB_YESNO) ? scripted.questionAnswer : IDOK;
}

// [SECTION] font

bool Font_BuildBitmapLists(const char *face, int pixelHeight, int first, int count, unsigned base)
{
    Record("BuildBitmapLists", std::string(face) + " " + std::to_string(pixelHeight) + " " +
                                   std::to_string(first) + ".." +
                                   std::to_string(first + count - 1));
    // A plain block for every glyph: 8 pixels wide, advancing 10.
    GLubyte block[64];
    std::memset(block, 0xFF, sizeof block);
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
    Record("Sleep", std::to_string(milliseconds));
}

int64_t Sys_Time()
{
    return scripted.calendarTime;
}

void Sys_Init()
{
    // The script's time is the manual clock, from where it stands now.
    UseManualClock(timeGetTime());
}

void Sys_Shutdown()
{
    Record("Shutdown");
}
