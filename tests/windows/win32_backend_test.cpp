// The Win32 backend under Wine, where the game itself cannot show it.
//
// The pads, with XInput's reading stood in for: XInput reads a pad
// whatever window is in front, so the game reads its pads only while its
// own window is, and they let go of what they held when it goes behind
// (the pad's Back button would otherwise end a game the player is not
// looking at).
//
// The guardian's start: this program runs from a folder without
// quarvel-guardian.exe, so every start fails, and none may leave a handle
// open (a game that tries again at each F1 would gather them).

#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/guardian_win32.h"
#include "platform/win32/win32_backend.h"

#include <xinput.h>

namespace {

WORD  heldButtons = 0; // what pad 0 holds; no other pad is plugged in
DWORD packet = 0;

DWORD WINAPI ReadPad(DWORD pad, void *state)
{
    if (pad != 0)
        return ERROR_DEVICE_NOT_CONNECTED;
    auto *reading = static_cast<XINPUT_STATE *>(state);
    reading->dwPacketNumber = ++packet;
    reading->Gamepad.wButtons = heldButtons;
    return ERROR_SUCCESS;
}

HWND ShownWindow(const char *title)
{
    return CreateWindowExA(WS_EX_APPWINDOW, "STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                           0, 200, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

bool InFront(HWND window)
{
    SetForegroundWindow(window);
    for (int waited = 0; waited < 2000 && GetForegroundWindow() != window; waited += 10) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(10);
    }
    return GetForegroundWindow() == window;
}

// The pads' messages after the next reading (they are read every few ms).
std::vector<Message> Poll()
{
    Sleep(10);
    std::vector<Message> out;
    Pad_Poll(out);
    return out;
}

TEST(PadsInFront, ReadOnlyWhileTheGameIsInFront)
{
    const HWND game = ShownWindow("game");
    const HWND other = ShownWindow("other");
    ASSERT_TRUE(game && other);
    win32.video.window = game;
    win32.pads.getState = ReadPad;

    ASSERT_TRUE(InFront(game));
    heldButtons = XINPUT_GAMEPAD_A; // fires: Space
    std::vector<Message> out = Poll();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].message, uint32_t(WM_KEYDOWN));
    EXPECT_EQ(out[0].wParam, uintptr_t(VK_SPACE));

    ASSERT_TRUE(InFront(other));
    out = Poll();
    ASSERT_EQ(out.size(), 1u) << "the pad lets go when the game goes behind";
    EXPECT_EQ(out[0].message, uint32_t(WM_KEYUP));
    EXPECT_EQ(out[0].wParam, uintptr_t(VK_SPACE));
    heldButtons = XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_BACK;
    EXPECT_TRUE(Poll().empty()) << "Back pressed behind another window must not end the game";

    ASSERT_TRUE(InFront(game));
    out = Poll();
    EXPECT_EQ(out.size(), 2u) << "what the pad holds counts again in front";

    Win32_ResetState();
    DestroyWindow(other);
    DestroyWindow(game);
}

// How many handles the process holds. Windows counts them; Wine answers 0,
// but gives a new handle the lowest free slot, so a new handle's number
// grows with every handle left open.
DWORD HandlesHeld()
{
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0)
        return count;
    const HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(probe);
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(probe));
}

TEST(GuardianStart, AFailedStartLeavesNoHandle)
{
    // The first failure starts the thread that writes its line
    Guard_Start();
    ASSERT_EQ(win32.guardian.process, nullptr) << "a guardian started from the tests' folder";
    const DWORD before = HandlesHeld();
    for (int start = 0; start < 20; ++start) {
        Guard_Start();
        Guard_BeforeModeChange();
        Guard_ModeRestored();
    }
    EXPECT_EQ(HandlesHeld(), before) << "handles left by 40 failed starts of the guardian";
    EXPECT_EQ(win32.guardian.commands, nullptr) << "a pipe kept for no guardian";
    Guard_Stop();
    Win32_ResetState();
}

} // namespace
