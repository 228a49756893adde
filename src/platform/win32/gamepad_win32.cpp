// Gamepads through XInput: each pad's buttons and left stick become the key
// messages the keyboard would send. XInput is loaded at run time, the
// newest there is, so that the game still starts on a Windows without it.

#include <vector>

#include "system/debug_log.h"

#include "platform/win32/win32_backend.h"

#include <xinput.h>

using XInputGetStateProc = DWORD(WINAPI *)(DWORD pad, XINPUT_STATE *state);

// Connected pads are read every few ms; an empty slot costs XInput a
// search for a device, so it is looked at about once a second.
static constexpr uint32_t readEveryMs = 4;
static constexpr uint32_t lookForPadEveryMs = 1000;

struct Win32PadState {
    HMODULE            library = nullptr;  // xinput1_4.dll, 1_3 or 9_1_0; null without
    XInputGetStateProc getState = nullptr;
    bool     connected[XUSER_MAX_COUNT] = {};
    DWORD    packet[XUSER_MAX_COUNT] = {};  // the reading last turned into keys
    uint32_t lastRead = 0;                  // ms
    uint32_t lastSearch = 0;                // ms
    bool     searched = false;              // the empty slots were looked at once
};

static Win32PadState win32Pads;

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
    if (win32Pads.library)
        return;
    for (const char *name : {"xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll"}) {
        win32Pads.library = LoadLibraryA(name);
        if (win32Pads.library)
            break;
    }
    if (!win32Pads.library) {
        StderrLine("Gamepads unavailable: no XInput on this system\n");
        return;
    }
    win32Pads.getState = reinterpret_cast<XInputGetStateProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(win32Pads.library, "XInputGetState")));
    if (!win32Pads.getState) {
        StderrLine("Gamepads unavailable: XInput has no XInputGetState\n");
        FreeLibrary(win32Pads.library);
        win32Pads.library = nullptr;
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
    Input_Pad(win32Player, pad, buttons, reading.sThumbLX, stickY, out);
}

void Pad_Poll()
{
    if (!win32Pads.getState)
        return;
    const uint32_t now = Win32_Milliseconds();
    if (now - win32Pads.lastRead < readEveryMs)
        return;
    win32Pads.lastRead = now;
    const bool search = !win32Pads.searched || now - win32Pads.lastSearch >= lookForPadEveryMs;
    if (search) {
        win32Pads.searched = true;
        win32Pads.lastSearch = now;
    }
    std::vector<Message> out;
    for (DWORD pad = 0; pad < XUSER_MAX_COUNT; ++pad) {
        if (!win32Pads.connected[pad] && !search)
            continue;
        XINPUT_STATE state = {};
        if (win32Pads.getState(pad, &state) != ERROR_SUCCESS) {
            // Unplugged: it lets go of everything it held
            if (win32Pads.connected[pad])
                Input_PadGone(win32Player, static_cast<int>(pad), out);
            win32Pads.connected[pad] = false;
            continue;
        }
        // A pad plugged in with a button held counts at once; after that
        // only a new packet number means a new reading
        if (win32Pads.connected[pad] && state.dwPacketNumber == win32Pads.packet[pad])
            continue;
        win32Pads.connected[pad] = true;
        win32Pads.packet[pad] = state.dwPacketNumber;
        TakeReading(static_cast<int>(pad), state.Gamepad, out);
    }
    Win32_PostMessages(out);
}

void Pad_Stop()
{
    std::vector<Message> out;
    for (DWORD pad = 0; pad < XUSER_MAX_COUNT; ++pad)
        if (win32Pads.connected[pad])
            Input_PadGone(win32Player, static_cast<int>(pad), out);
    if (win32Pads.library)
        FreeLibrary(win32Pads.library);
    win32Pads = Win32PadState{};
}
