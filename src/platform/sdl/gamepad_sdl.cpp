// Gamepads through SDL's game-controller API: each pad's buttons and left
// stick become the key messages the keyboard would send.

#include <vector>

#include <SDL.h>

#include "platform/sdl/sdl_backend.h"
#include "system/debug_log.h"

// An open pad; its slot number is its pad number in sdlPlayer.
struct OpenPad {
    SDL_GameController *controller = nullptr; // null while the slot is free
    SDL_JoystickID      id = -1;              // SDL's instance id, in the pad's events
};

// The game-controller system and the pads open in it; Pad_Stop starts it
// afresh.
struct SdlPadState {
    bool    started = false;  // SDL's game-controller system is up
    OpenPad open[maxPads];    // by slot
};

static SdlPadState sdlPads;

// The buttons the mapping knows, SDL's name for each place on the pad.
static const struct {
    SDL_GameControllerButton sdl;
    PadButton                button;
} padButtons[] = {
    {SDL_CONTROLLER_BUTTON_A, PadButton::South},
    {SDL_CONTROLLER_BUTTON_B, PadButton::East},
    {SDL_CONTROLLER_BUTTON_X, PadButton::West},
    {SDL_CONTROLLER_BUTTON_Y, PadButton::North},
    {SDL_CONTROLLER_BUTTON_BACK, PadButton::Back},
    {SDL_CONTROLLER_BUTTON_GUIDE, PadButton::Guide},
    {SDL_CONTROLLER_BUTTON_START, PadButton::Start},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, PadButton::LeftStick},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, PadButton::RightStick},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, PadButton::LeftShoulder},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, PadButton::RightShoulder},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, PadButton::DpadUp},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, PadButton::DpadDown},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, PadButton::DpadLeft},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PadButton::DpadRight},
};

// The slot of an open pad; -1 when none has this id.
static int SlotOf(SDL_JoystickID id)
{
    for (int slot = 0; slot < maxPads; ++slot)
        if (sdlPads.open[slot].controller && sdlPads.open[slot].id == id)
            return slot;
    return -1;
}

static void Open(int deviceIndex)
{
    // SDL announces the pads present at the start and every one plugged in
    // later; a pad already open is not opened twice
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (id < 0 || SlotOf(id) >= 0)
        return;
    int slot = 0;
    while (slot < maxPads && sdlPads.open[slot].controller)
        ++slot;
    if (slot == maxPads)
        return;
    SDL_GameController *controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) {
        StderrLine("Gamepad not opened: %s\n", SDL_GetError());
        return;
    }
    sdlPads.open[slot] = OpenPad{controller, id};

    // A button already held or the stick already pushed counts at once
    uint32_t buttons = 0;
    for (const auto &mapped : padButtons)
        if (SDL_GameControllerGetButton(controller, mapped.sdl))
            buttons |= PadButtonBit(mapped.button);
    std::vector<Message> messages;
    Input_Pad(sdlPlayer, slot, buttons,
              SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTX),
              SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTY), messages);
    Sdl_PostMessages(messages);
}

static void Close(int slot)
{
    std::vector<Message> messages;
    Input_PadGone(sdlPlayer, slot, messages);
    Sdl_PostMessages(messages);
    SDL_GameControllerClose(sdlPads.open[slot].controller);
    sdlPads.open[slot] = OpenPad{};
}

static void TranslateButton(const SDL_ControllerButtonEvent &event)
{
    const int slot = SlotOf(event.which);
    if (slot < 0)
        return;
    for (const auto &mapped : padButtons) {
        if (mapped.sdl != event.button)
            continue;
        std::vector<Message> messages;
        Input_PadButton(sdlPlayer, slot, mapped.button, event.type == SDL_CONTROLLERBUTTONDOWN,
                        messages);
        Sdl_PostMessages(messages);
        return;
    }
}

static void TranslateAxis(const SDL_ControllerAxisEvent &event)
{
    const int slot = SlotOf(event.which);
    if (slot < 0)
        return;
    const PadState &state = sdlPlayer.pads[slot];
    int x = state.stickX;
    int y = state.stickY;
    if (event.axis == SDL_CONTROLLER_AXIS_LEFTX)
        x = event.value;
    else if (event.axis == SDL_CONTROLLER_AXIS_LEFTY)
        y = event.value;
    else
        return;
    std::vector<Message> messages;
    Input_Pad(sdlPlayer, slot, state.buttons, x, y, messages);
    Sdl_PostMessages(messages);
}

bool Pad_Start()
{
    if (sdlPads.started)
        return true;
    // South, east and west by their place on the pad: Nintendo pads print
    // A on the east button. The environment can still say otherwise.
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        return false;
    sdlPads.started = true;
    return true;
}

void Pad_Stop()
{
    if (!sdlPads.started)
        return;
    for (int slot = 0; slot < maxPads; ++slot)
        if (sdlPads.open[slot].controller)
            Close(slot);
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    sdlPads = SdlPadState{};
}

void Pad_TranslateEvent(const SDL_Event &event)
{
    switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
        // which is a device index here, an instance id in every other event
        Open(event.cdevice.which);
        break;
    case SDL_CONTROLLERDEVICEREMOVED: {
        const int slot = SlotOf(event.cdevice.which);
        if (slot >= 0)
            Close(slot);
        break;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        TranslateButton(event.cbutton);
        break;
    case SDL_CONTROLLERAXISMOTION:
        TranslateAxis(event.caxis);
        break;
    default:
        break;
    }
}
