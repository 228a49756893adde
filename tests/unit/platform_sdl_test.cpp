#include <csignal>
#include <cstdlib>
#include <vector>

#include <unistd.h>

#include "system/opengl.h"
#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/messages.h"
#include "platform/sdl/window_sdl.h"
#include "platform/system.h"
#include "platform/video.h"
#include "system/clock.h"
#include "system/virtual_keys.h"

// The real SDL backend under SDL's offscreen driver: events pushed into
// SDL's queue must come out as the Windows messages the window procedure
// expects, and the window and its context must open and close cleanly.

static std::vector<Message> dispatched;

static intptr_t RecordingProcedure(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    dispatched.push_back(Message{message, wParam, lParam});
    return 0;
}

static void UseOffscreenDriver()
{
    // CTest sets it; a hand run of the binary gets it here
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
}

static std::vector<Message> TakeMessages()
{
    std::vector<Message> taken;
    Message message;
    while (Sys_PeekMessage(message))
        taken.push_back(message);
    return taken;
}

static uint16_t HighWord(uintptr_t value)
{
    return static_cast<uint16_t>((value >> 16) & 0xFFFF);
}

// [SECTION] Messages from SDL events

class SdlMessages : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseOffscreenDriver();
        module = Vid_RegisterClass(RecordingProcedure);
        ASSERT_NE(module, nullptr) << SDL_GetError();
        window = Vid_CreateWindow(module, "messages", 320, 240, false);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        // Whatever SDL said about the new window is not part of a test
        TakeMessages();
        dispatched.clear();
    }
    void TearDown() override
    {
        if (window)
            Vid_DestroyWindow(window);
        if (module)
            Vid_UnregisterClass(module);
        TakeMessages();
    }

    void PushKey(Uint32 type, SDL_Scancode scancode, SDL_Keycode keycode, Uint16 mod = KMOD_NONE,
                 bool repeat = false)
    {
        SDL_Event event{};
        event.type = type;
        event.key.windowID = SDL_GetWindowID(Vid_SdlWindow(window));
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.scancode = scancode;
        event.key.keysym.sym = keycode;
        event.key.keysym.mod = mod;
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }
    void PushWindowEvent(Uint8 what, Sint32 data1 = 0, Sint32 data2 = 0, Uint32 windowID = 0)
    {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = windowID ? windowID : SDL_GetWindowID(Vid_SdlWindow(window));
        event.window.event = what;
        event.window.data1 = data1;
        event.window.data2 = data2;
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    }

    ModuleHandle module = nullptr;
    WindowHandle window = nullptr;
};

TEST_F(SdlMessages, KeysArriveWithVirtualKeyCodesAndRepeat)
{
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE, KMOD_NONE, true);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE, KMOD_NONE, true);
    PushKey(SDL_KEYUP, SDL_SCANCODE_SPACE, SDLK_SPACE);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_Z, SDLK_z, KMOD_LSHIFT);

    const std::vector<Message> messages = TakeMessages();
    ASSERT_EQ(messages.size(), 5u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(messages[i].message, uint32_t(WM_KEYDOWN)) << "press or repeat " << i;
        EXPECT_EQ(messages[i].wParam, uintptr_t(VK_SPACE)) << "press or repeat " << i;
    }
    // Windows marks a repeat by the previous-state bit 30 of lParam
    EXPECT_EQ(messages[0].lParam & (intptr_t(1) << 30), 0) << "first press";
    EXPECT_NE(messages[1].lParam & (intptr_t(1) << 30), 0) << "auto-repeat";
    EXPECT_EQ(messages[3].message, uint32_t(WM_KEYUP));
    EXPECT_EQ(messages[3].wParam, uintptr_t(VK_SPACE));
    // Shift does not make a system key, and letters are upper-case codes
    EXPECT_EQ(messages[4].message, uint32_t(WM_KEYDOWN));
    EXPECT_EQ(messages[4].wParam, uintptr_t('Z'));
}

TEST_F(SdlMessages, AltKeysAndF10AreSystemKeys)
{
    // SDL's modifier state already holds Alt in Alt's own key-down
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_X, SDLK_x, KMOD_LALT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_X, SDLK_x, KMOD_LALT, true);
    PushKey(SDL_KEYUP, SDL_SCANCODE_X, SDLK_x, KMOD_LALT);
    PushKey(SDL_KEYUP, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_NONE);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_F10, SDLK_F10);
    PushKey(SDL_KEYUP, SDL_SCANCODE_F10, SDLK_F10);
    // Ctrl+Alt is AltGr on Windows: those keys type, they are game keys
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL | KMOD_LALT);

    const std::vector<Message> messages = TakeMessages();
    const std::vector<std::pair<uint32_t, uintptr_t>> expected = {
        {WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYDOWN, 'X'}, {WM_SYSKEYDOWN, 'X'},
        {WM_SYSKEYUP, 'X'},       {WM_SYSKEYUP, VK_MENU}, {WM_SYSKEYDOWN, VK_F10},
        {WM_SYSKEYUP, VK_F10},    {WM_KEYDOWN, 'C'},
    };
    ASSERT_EQ(messages.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(messages[i].message, expected[i].first) << "message " << i;
        EXPECT_EQ(messages[i].wParam, expected[i].second) << "message " << i;
    }
}

TEST_F(SdlMessages, KeyHeldBeforeAltIsStillReleasedAsAGameKey)
{
    // Thrust held, Alt pressed, thrust let go: the release must reach
    // KeyState, or the ship thrusts until Up is pressed again
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_UP, SDLK_UP);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT);
    PushKey(SDL_KEYUP, SDL_SCANCODE_UP, SDLK_UP, KMOD_LALT);
    PushKey(SDL_KEYUP, SDL_SCANCODE_LALT, SDLK_LALT);

    const std::vector<Message> messages = TakeMessages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].message, uint32_t(WM_KEYDOWN));
    EXPECT_EQ(messages[2].message, uint32_t(WM_KEYUP)) << "Up released while Alt is held";
    EXPECT_EQ(messages[2].wParam, uintptr_t(VK_UP));
    EXPECT_EQ(messages[3].message, uint32_t(WM_SYSKEYUP));
}

TEST_F(SdlMessages, KeypadFollowsNumLockAndEveryKeyLetsGoOfTheCodeItPressed)
{
    // NumLock off: the keypad steers the ship like the arrows
    const struct {
        SDL_Scancode scancode;
        uintptr_t    navigation;
        uintptr_t    digit;
    } keypad[] = {
        {SDL_SCANCODE_KP_8, VK_UP, VK_NUMPAD8},      {SDL_SCANCODE_KP_4, VK_LEFT, VK_NUMPAD4},
        {SDL_SCANCODE_KP_6, VK_RIGHT, VK_NUMPAD6},   {SDL_SCANCODE_KP_2, VK_DOWN, VK_NUMPAD2},
        {SDL_SCANCODE_KP_7, VK_HOME, VK_NUMPAD7},    {SDL_SCANCODE_KP_9, VK_PRIOR, VK_NUMPAD9},
        {SDL_SCANCODE_KP_1, VK_END, VK_NUMPAD1},     {SDL_SCANCODE_KP_3, VK_NEXT, VK_NUMPAD3},
        {SDL_SCANCODE_KP_0, VK_INSERT, VK_NUMPAD0},  {SDL_SCANCODE_KP_PERIOD, VK_DELETE, VK_DECIMAL},
    };
    for (const auto &key : keypad) {
        for (const bool numLock : {false, true}) {
            const Uint16 mod = numLock ? KMOD_NUM : KMOD_NONE;
            PushKey(SDL_KEYDOWN, key.scancode, SDL_SCANCODE_TO_KEYCODE(key.scancode), mod);
            PushKey(SDL_KEYUP, key.scancode, SDL_SCANCODE_TO_KEYCODE(key.scancode), mod);
            const std::vector<Message> messages = TakeMessages();
            const uintptr_t expected = numLock ? key.digit : key.navigation;
            ASSERT_EQ(messages.size(), 2u) << SDL_GetScancodeName(key.scancode);
            EXPECT_EQ(messages[0].wParam, expected)
                << SDL_GetScancodeName(key.scancode) << (numLock ? " with" : " without") << " NumLock";
            EXPECT_EQ(messages[1].wParam, expected) << SDL_GetScancodeName(key.scancode);
        }
    }

    // Keypad 8 held as Up while NumLock goes on: its repeats stay Up and
    // its release lets go of Up, so the ship does not thrust for ever; the
    // next press is a digit
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NONE);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_NUMLOCKCLEAR, SDLK_NUMLOCKCLEAR, KMOD_NUM);
    PushKey(SDL_KEYUP, SDL_SCANCODE_NUMLOCKCLEAR, SDLK_NUMLOCKCLEAR, KMOD_NUM);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NUM, true);
    PushKey(SDL_KEYUP, SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NUM);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NUM);
    const std::vector<Message> messages = TakeMessages();
    const std::vector<std::pair<uint32_t, uintptr_t>> expected = {
        {WM_KEYDOWN, VK_UP}, {WM_KEYDOWN, VK_NUMLOCK}, {WM_KEYUP, VK_NUMLOCK},
        {WM_KEYDOWN, VK_UP}, {WM_KEYUP, VK_UP},        {WM_KEYDOWN, VK_NUMPAD8},
    };
    ASSERT_EQ(messages.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(messages[i].message, expected[i].first) << "message " << i;
        EXPECT_EQ(messages[i].wParam, expected[i].second) << "message " << i;
    }
    PushKey(SDL_KEYUP, SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NUM);
    TakeMessages();
}

TEST_F(SdlMessages, AltF4CloseBoxAndQuitRequestAllClose)
{
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT, true);
    PushKey(SDL_KEYUP, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT);
    // F4 alone is an ordinary key
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_F4, SDLK_F4);
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);

    const std::vector<Message> messages = TakeMessages();
    const std::vector<std::pair<uint32_t, uintptr_t>> expected = {
        {WM_SYSKEYDOWN, VK_F4}, {WM_CLOSE, 0}, {WM_SYSKEYDOWN, VK_F4}, {WM_SYSKEYUP, VK_F4},
        {WM_KEYDOWN, VK_F4},    {WM_CLOSE, 0}, {WM_CLOSE, 0},
    };
    ASSERT_EQ(messages.size(), expected.size()) << "one close per Alt+F4 press, none for a repeat";
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(messages[i].message, expected[i].first) << "message " << i;
        EXPECT_EQ(messages[i].wParam, expected[i].second) << "message " << i;
    }
}

TEST_F(SdlMessages, MinimiseRestoreAndResizeOfTheGameWindowOnly)
{
    PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    PushWindowEvent(SDL_WINDOWEVENT_RESTORED);
    PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1024, 700);
    // Losing the keyboard to another window does not stop the game
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    // Another window's events are not the game's
    PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED, 0, 0, SDL_GetWindowID(Vid_SdlWindow(window)) + 100);

    const std::vector<Message> messages = TakeMessages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].message, uint32_t(WM_ACTIVATE));
    EXPECT_NE(HighWord(messages[0].wParam), 0) << "minimised flag in the high word";
    EXPECT_EQ(messages[1].message, uint32_t(WM_ACTIVATE));
    EXPECT_EQ(HighWord(messages[1].wParam), 0) << "restored: not minimised";
    EXPECT_EQ(messages[2].message, uint32_t(WM_SIZE));
    EXPECT_EQ(messages[2].lParam & 0xFFFF, 1024) << "client width in the low word";
    EXPECT_EQ((messages[2].lParam >> 16) & 0xFFFF, 700) << "client height in the high word";
}

TEST_F(SdlMessages, DispatchReachesTheRegisteredProcedure)
{
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_LEFT, SDLK_LEFT);
    PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 480);
    Message message;
    while (Sys_PeekMessage(message))
        Sys_DispatchMessage(message);

    ASSERT_EQ(dispatched.size(), 2u);
    EXPECT_EQ(dispatched[0].message, uint32_t(WM_KEYDOWN));
    EXPECT_EQ(dispatched[0].wParam, uintptr_t(VK_LEFT));
    EXPECT_EQ(dispatched[1].message, uint32_t(WM_SIZE));
    EXPECT_EQ(dispatched[1].lParam, intptr_t(640 | (480 << 16)));
    EXPECT_EQ(Sys_DefaultWindowProc(WM_SYSKEYDOWN, VK_F10, 0), 0);
}

TEST_F(SdlMessages, PostedQuitComesNextWithItsCode)
{
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE);
    Sys_PostQuitMessage(3);

    Message message;
    ASSERT_TRUE(Sys_PeekMessage(message));
    EXPECT_EQ(message.message, uint32_t(WM_QUIT)) << "the quit comes before pending input";
    EXPECT_EQ(message.wParam, uintptr_t(3));
    ASSERT_TRUE(Sys_PeekMessage(message));
    EXPECT_EQ(message.message, uint32_t(WM_KEYDOWN)) << "one quit, then the queue goes on";
    EXPECT_FALSE(Sys_PeekMessage(message));

    // The exit code is read back as an int
    Sys_PostQuitMessage(-1);
    ASSERT_TRUE(Sys_PeekMessage(message));
    EXPECT_EQ(static_cast<int>(message.wParam), -1);
}

TEST(SdlSystem, SignalsBecomeOneCloseEachAndTheClockIsSdlTicks)
{
    UseOffscreenDriver();
    Sys_Init();
    // A write to a pipe nobody reads must not end the game either
    std::raise(SIGPIPE);
    std::raise(SIGTERM);
    std::raise(SIGINT);
    Message message;
    ASSERT_TRUE(Sys_PeekMessage(message)) << "a signal must not end the program at once";
    EXPECT_EQ(message.message, uint32_t(WM_CLOSE));
    // Two signals before the game looked: it closes once all the same
    EXPECT_FALSE(Sys_PeekMessage(message));
    // A closing terminal and Ctrl+\ close the game the same way
    for (const int closing : {SIGINT, SIGHUP, SIGQUIT}) {
        std::raise(closing);
        ASSERT_TRUE(Sys_PeekMessage(message)) << "signal " << closing;
        EXPECT_EQ(message.message, uint32_t(WM_CLOSE)) << "signal " << closing;
    }
    const Uint32 before = SDL_GetTicks();
    const uint32_t now = timeGetTime();
    const Uint32 after = SDL_GetTicks();
    EXPECT_LE(before, now) << "timeGetTime reads SDL_GetTicks";
    EXPECT_LE(now, after) << "timeGetTime reads SDL_GetTicks";

    for (const int closing : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        std::signal(closing, SIG_DFL);
    SetClockSource(nullptr);
}

// [SECTION] Window, surface and GL context

// Every step of opening the game's window and closing it again, in the
// order the shell takes them.
static void OpenDrawAndClose(int pass)
{
    SCOPED_TRACE(testing::Message() << "pass " << pass);
    ModuleHandle module = Vid_RegisterClass(RecordingProcedure);
    ASSERT_NE(module, nullptr) << SDL_GetError();
    EXPECT_EQ(Vid_RegisterClass(RecordingProcedure), nullptr) << "the class is registered already";

    WindowHandle window = Vid_CreateWindow(module, "Quarvel - by Tobrenik", 400, 300, false);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_Window *sdlWindow = Vid_SdlWindow(window);
    ASSERT_NE(sdlWindow, nullptr);
    int width = 0, height = 0;
    SDL_GetWindowSize(sdlWindow, &width, &height);
    EXPECT_EQ(width, 400) << "client area of the asked size";
    EXPECT_EQ(height, 300) << "client area of the asked size";
    EXPECT_EQ(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN, 0u);
    EXPECT_FALSE(SDL_IsScreenSaverEnabled()) << "no screen saver while the window exists";
    EXPECT_FALSE(Vid_UnregisterClass(module)) << "the class has a window";

    DeviceContext surface = Vid_GetDeviceContext(window);
    ASSERT_NE(surface, nullptr);
    const int format = Vid_ChoosePixelFormat(surface, 32, 16);
    ASSERT_EQ(format, 1);
    ASSERT_TRUE(Vid_SetPixelFormat(surface, format));
    RenderContext context = Vid_CreateContext(surface);
    ASSERT_NE(context, nullptr) << SDL_GetError();
    ASSERT_TRUE(Vid_MakeCurrent(surface, context)) << SDL_GetError();
    Vid_ShowWindow(window);
    EXPECT_NE(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_SHOWN, 0u);

    // The attributes were fixed when the window was made. (The offscreen
    // driver draws into a single-buffered pbuffer whatever is asked, so
    // the double buffer can only be seen under X.)
    int depth = 0;
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth);
    EXPECT_GE(depth, 16);
    EXPECT_TRUE(Vid_SetSwapInterval(1)) << "the offscreen driver has swap control";
    EXPECT_EQ(SDL_GL_GetSwapInterval(), 1);
    EXPECT_TRUE(Vid_SetSwapInterval(0));

    // The context draws into this window's back buffer
    glViewport(0, 0, 400, 300);
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    GLubyte pixel[4] = {};
    glReadPixels(200, 150, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_EQ(pixel[1], 255) << "cleared green";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    Vid_SwapBuffers(surface);

    EXPECT_TRUE(Vid_ReleaseCurrent());
    EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
    EXPECT_TRUE(Vid_DeleteContext(context));
    EXPECT_FALSE(Vid_DeleteContext(context)) << "deleted once";
    EXPECT_TRUE(Vid_ReleaseDeviceContext(window, surface));
    EXPECT_TRUE(Vid_DestroyWindow(window));
    EXPECT_FALSE(Vid_DestroyWindow(window)) << "destroyed once";
    EXPECT_TRUE(SDL_IsScreenSaverEnabled()) << "the screen saver is back with the window gone";
    EXPECT_TRUE(Vid_UnregisterClass(module));
    EXPECT_FALSE(Vid_UnregisterClass(module)) << "unregistered once";
}

TEST(SdlVideo, WindowAndContextOpenAndCloseTwice)
{
    UseOffscreenDriver();
    // F1 closes everything and opens it all again
    OpenDrawAndClose(1);
    OpenDrawAndClose(2);
}

TEST(SdlVideo, OnlyModesTheDisplayHasAreAccepted)
{
    UseOffscreenDriver();
    ModuleHandle module = Vid_RegisterClass(RecordingProcedure);
    ASSERT_NE(module, nullptr) << SDL_GetError();
    SDL_DisplayMode desktop{};
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0) << SDL_GetError();
    const int bytes = SDL_BYTESPERPIXEL(desktop.format);
    const int otherBits = bytes == 2 ? 32 : 16;
    bool displayHasOtherDepth = false;
    for (int i = 0; i < SDL_GetNumDisplayModes(0); ++i) {
        SDL_DisplayMode mode{};
        SDL_GetDisplayMode(0, i, &mode);
        displayHasOtherDepth |= mode.w == desktop.w && mode.h == desktop.h &&
                                int(SDL_BYTESPERPIXEL(mode.format)) * 8 == otherBits;
    }

    // The usual desktop format counts 24 bits per pixel but fills 4 bytes:
    // a request for 32-bit colour must match it
    EXPECT_TRUE(Vid_ChangeDisplayMode(desktop.w, desktop.h, bytes * 8));
    if (!displayHasOtherDepth) {
        EXPECT_FALSE(Vid_ChangeDisplayMode(desktop.w, desktop.h, otherBits))
            << "the display lacks this depth";
    }
    EXPECT_FALSE(Vid_ChangeDisplayMode(desktop.w + 1, desktop.h, bytes * 8));
    EXPECT_FALSE(Vid_ChangeDisplayMode(desktop.w, desktop.h, 0));

    // The mode kept is the one a full-screen window gets
    ASSERT_TRUE(Vid_ChangeDisplayMode(desktop.w, desktop.h, bytes * 8));
    WindowHandle window = Vid_CreateWindow(module, "full screen", desktop.w, desktop.h, true);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_Window *sdlWindow = Vid_SdlWindow(window);
    Vid_ShowWindow(window);
    Vid_ShowCursor(false);
    EXPECT_NE(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN, 0u);
    SDL_DisplayMode used{};
    ASSERT_EQ(SDL_GetWindowDisplayMode(sdlWindow, &used), 0) << SDL_GetError();
    EXPECT_EQ(used.w, desktop.w);
    EXPECT_EQ(used.h, desktop.h);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

    // Restoring comes before the window goes
    EXPECT_TRUE(Vid_RestoreDisplayMode());
    EXPECT_EQ(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN, 0u);
    Vid_ShowCursor(true);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    EXPECT_TRUE(Vid_DestroyWindow(window));
    EXPECT_TRUE(Vid_UnregisterClass(module));
}

TEST(SdlVideo, ShutdownTakesEverythingDownAndIsSafeTwice)
{
    UseOffscreenDriver();
    ModuleHandle module = Vid_RegisterClass(RecordingProcedure);
    ASSERT_NE(module, nullptr) << SDL_GetError();
    WindowHandle window = Vid_CreateWindow(module, "left open", 200, 100, false);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    Vid_ShowCursor(false);
    Sys_PostQuitMessage(3);

    Sys_Shutdown();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    Sys_Shutdown();
    // The handles of before are dead, and a new start works
    EXPECT_FALSE(Vid_DestroyWindow(window));
    EXPECT_FALSE(Vid_UnregisterClass(module));
    module = Vid_RegisterClass(RecordingProcedure);
    ASSERT_NE(module, nullptr) << "the backend can start again after a shutdown";
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    Message message;
    while (Sys_PeekMessage(message))
        EXPECT_NE(message.message, uint32_t(WM_QUIT)) << "the quit of before ends the new start";
    EXPECT_TRUE(Vid_UnregisterClass(module));
}

// [SECTION] Message boxes with no display

// The child has no display of any kind, so SDL cannot show a box and must
// fail at once instead of blocking.
static int AnswerWithoutDisplay(uint32_t flags)
{
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    return Vid_MessageBox("Window Creation Error.", "ERROR", flags);
}

TEST(SdlMessageBoxDeathTest, WithoutADisplayTheTextGoesToStderr)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(AnswerWithoutDisplay(MB_OK | MB_ICONEXCLAMATION) == IDOK ? 0 : 1),
                testing::ExitedWithCode(0), "ERROR: Window Creation Error\\.");
    // A question nobody can answer is answered No
    EXPECT_EXIT(std::exit(AnswerWithoutDisplay(MB_YESNO | MB_ICONEXCLAMATION) == IDNO ? 0 : 1),
                testing::ExitedWithCode(0), "ERROR: Window Creation Error\\.");
}
