// Gamepads through XInput: each pad's buttons and left stick become the key
// messages the keyboard would send. XInput is loaded at run time, the
// newest there is, so that the game still starts on a Windows without it.

#include <algorithm>
#include <iterator>
#include <vector>

#include "system/debug_log.h"

#include "platform/win32/win32_backend.h"

#include <xinput.h>

// Connected pads are read every few ms; an empty slot costs XInput a
// search for a device, so it is looked at about once a second.
static constexpr uint32_t readEveryMs = 4;
static constexpr uint32_t lookForPadEveryMs = 1000;

static_assert(win32PadSlots == XUSER_MAX_COUNT, "one slot of the state per XInput pad");

// XInput's buttons by their place on the pad. There is no Guide button in
// XInputGetState's reading.
static const struct {
    WORD      xinput;
    PadButton button;
} padButtons[] = {
    {XINPUT_GAMEPAD_A, PadButton::South},
    {XINPUT_GAMEPAD_B, PadButton::East},
    {XINPUT_GAMEPAD_X, PadButton::West},
    {XINPUT_GAMEPAD_Y, PadButton::North},
    {XINPUT_GAMEPAD_BACK, PadButton::Back},
    {XINPUT_GAMEPAD_START, PadButton::Start},
    {XINPUT_GAMEPAD_LEFT_THUMB, PadButton::LeftStick},
    {XINPUT_GAMEPAD_RIGHT_THUMB, PadButton::RightStick},
    {XINPUT_GAMEPAD_LEFT_SHOULDER, PadButton::LeftShoulder},
    {XINPUT_GAMEPAD_RIGHT_SHOULDER, PadButton::RightShoulder},
    {XINPUT_GAMEPAD_DPAD_UP, PadButton::DpadUp},
    {XINPUT_GAMEPAD_DPAD_DOWN, PadButton::DpadDown},
    {XINPUT_GAMEPAD_DPAD_LEFT, PadButton::DpadLeft},
    {XINPUT_GAMEPAD_DPAD_RIGHT, PadButton::DpadRight},
};

void Pad_Start()
{
    if (win32.pads.library)
        return;
    for (const char *name : {"xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll"}) {
        win32.pads.library = LoadLibraryA(name);
        if (win32.pads.library)
            break;
    }
    if (!win32.pads.library) {
        StderrLine("Gamepads unavailable: no XInput on this system\n");
        return;
    }
    win32.pads.getState = reinterpret_cast<XInputGetStateProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(win32.pads.library, "XInputGetState")));
    if (!win32.pads.getState) {
        StderrLine("Gamepads unavailable: XInput has no XInputGetState\n");
        FreeLibrary(win32.pads.library);
        win32.pads.library = nullptr;
    }
}

// A pad's reading as the keys it holds; the stick in the map's units, y
// growing downwards (XInput's grows upwards).
static void TakeReading(int pad, const XINPUT_GAMEPAD &reading, std::vector<Message> &out)
{
    uint32_t buttons = 0;
    for (const auto &mapped : padButtons)
        if (reading.wButtons & mapped.xinput)
            buttons |= PadButtonBit(mapped.button);
    const int stickY = reading.sThumbLY == -32768 ? 32767 : -reading.sThumbLY;
    Input_Pad(win32.player, pad, buttons, reading.sThumbLX, stickY, out);
}

// Every pad lets go of what it holds, and is looked for afresh next time.
static void LetGoOfPads(std::vector<Message> &out)
{
    for (DWORD pad = 0; pad < XUSER_MAX_COUNT; ++pad)
        if (win32.pads.connected[pad])
            Input_PadGone(win32.player, static_cast<int>(pad), out);
    std::fill(std::begin(win32.pads.connected), std::end(win32.pads.connected), false);
    win32.pads.searched = false;
}

void Pad_Poll(std::vector<Message> &out)
{
    if (!win32.pads.getState)
        return;
    const uint32_t now = Win32_Milliseconds();
    if (now - win32.pads.lastRead < readEveryMs)
        return;
    win32.pads.lastRead = now;
    // XInput reads a pad whichever window is in front: the pads play the
    // game only while it is in front, as the keyboard does
    if (!win32.video.window || GetForegroundWindow() != win32.video.window) {
        LetGoOfPads(out);
        return;
    }
    const bool search = !win32.pads.searched || now - win32.pads.lastSearch >= lookForPadEveryMs;
    if (search) {
        win32.pads.searched = true;
        win32.pads.lastSearch = now;
    }
    for (DWORD pad = 0; pad < XUSER_MAX_COUNT; ++pad) {
        if (!win32.pads.connected[pad] && !search)
            continue;
        XINPUT_STATE state = {};
        if (win32.pads.getState(pad, &state) != ERROR_SUCCESS) {
            // Unplugged: it lets go of everything it held
            if (win32.pads.connected[pad])
                Input_PadGone(win32.player, static_cast<int>(pad), out);
            win32.pads.connected[pad] = false;
            continue;
        }
        // A pad plugged in with a button held counts at once; after that
        // only a new packet number means a new reading
        if (win32.pads.connected[pad] && state.dwPacketNumber == win32.pads.packet[pad])
            continue;
        win32.pads.connected[pad] = true;
        win32.pads.packet[pad] = state.dwPacketNumber;
        TakeReading(static_cast<int>(pad), state.Gamepad, out);
    }
}

void Pad_Stop()
{
    if (win32.pads.library)
        FreeLibrary(win32.pads.library);
    win32.pads = Win32Pads{};
}
