// Gamepads through SDL's game-controller API: each pad's buttons and left
// stick become the key messages the keyboard would send.

#include "platform/sdl/gamepad_sdl.h"

#include <SDL.h>

#include "platform/sdl/sdl_state.h"
#include "system/debug_log.h"

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
        if (sdl.pads.open[slot].controller && sdl.pads.open[slot].id == id)
            return slot;
    return -1;
}

static void Open(int deviceIndex, std::vector<Message> &messages)
{
    // SDL announces the pads present at the start and every one plugged in
    // later; a pad already open is not opened twice
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (id < 0 || SlotOf(id) >= 0)
        return;
    int slot = 0;
    while (slot < maxPads && sdl.pads.open[slot].controller)
        ++slot;
    if (slot == maxPads)
        return;
    SDL_GameController *controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) {
        StderrLine("Gamepad not opened: %s\n", SDL_GetError());
        return;
    }
    sdl.pads.open[slot] = OpenPad{controller, id};

    // A button already held or the stick already pushed counts at once
    uint32_t buttons = 0;
    for (const auto &mapped : padButtons)
        if (SDL_GameControllerGetButton(controller, mapped.sdl))
            buttons |= PadButtonBit(mapped.button);
    Input_Pad(sdl.player, slot, buttons,
              SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTX),
              SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTY), messages);
}

static void Close(int slot, std::vector<Message> &messages)
{
    Input_PadGone(sdl.player, slot, messages);
    SDL_GameControllerClose(sdl.pads.open[slot].controller);
    sdl.pads.open[slot] = OpenPad{};
}

static void TranslateButton(const SDL_ControllerButtonEvent &event,
                            std::vector<Message> &messages)
{
    const int slot = SlotOf(event.which);
    if (slot < 0)
        return;
    for (const auto &mapped : padButtons) {
        if (mapped.sdl != event.button)
            continue;
        Input_PadButton(sdl.player, slot, mapped.button, event.type == SDL_CONTROLLERBUTTONDOWN,
                        messages);
        return;
    }
}

static void TranslateAxis(const SDL_ControllerAxisEvent &event, std::vector<Message> &messages)
{
    const int slot = SlotOf(event.which);
    if (slot < 0)
        return;
    const PadState &state = sdl.player.pads[slot];
    int x = state.stickX;
    int y = state.stickY;
    if (event.axis == SDL_CONTROLLER_AXIS_LEFTX)
        x = event.value;
    else if (event.axis == SDL_CONTROLLER_AXIS_LEFTY)
        y = event.value;
    else
        return;
    Input_Pad(sdl.player, slot, state.buttons, x, y, messages);
}

bool Pad_Start()
{
    if (sdl.pads.started)
        return true;
    // South, east and west by their place on the pad: Nintendo pads print
    // A on the east button. The environment can still say otherwise.
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        return false;
    sdl.pads.started = true;
    return true;
}

void Pad_Stop(std::vector<Message> &messages)
{
    if (!sdl.pads.started)
        return;
    for (int slot = 0; slot < maxPads; ++slot)
        if (sdl.pads.open[slot].controller)
            Close(slot, messages);
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    sdl.pads = SdlPadState{};
}

void Pad_TranslateEvent(const SDL_Event &event, std::vector<Message> &messages)
{
    switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
        // which is a device index here, an instance id in every other event
        Open(event.cdevice.which, messages);
        break;
    case SDL_CONTROLLERDEVICEREMOVED: {
        const int slot = SlotOf(event.cdevice.which);
        if (slot >= 0)
            Close(slot, messages);
        break;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        TranslateButton(event.cbutton, messages);
        break;
    case SDL_CONTROLLERAXISMOTION:
        TranslateAxis(event.caxis, messages);
        break;
    default:
        break;
    }
}
