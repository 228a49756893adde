#pragma once

#include <vector>

#include "platform/messages.h"

union SDL_Event;

// Gamepads through SDL's game-controller API: each pad's buttons and left
// stick become the key messages the keyboard would send, through the
// player's input (sdl.player). Each call appends them, in order, to
// messages.

// Starts SDL's game-controller system. Pads are opened as SDL announces
// them, those present at the start included, and closed when unplugged.
// False, with SDL's error set, when the system cannot start.
bool Pad_Start();
// Closes every pad, each letting go of the keys it held, and stops the
// game-controller system. Safe to call when it is not running.
void Pad_Stop(std::vector<Message> &messages);
// Turns a game-controller event into key messages; ignores other events.
void Pad_TranslateEvent(const SDL_Event &event, std::vector<Message> &messages);
