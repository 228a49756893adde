#pragma once

#include "platform/process/display_server.h"

// One game per display. Two games on one desktop would fight over its
// display mode (each would take the other's 800x600 for the desktop's), so
// a second start on the same display brings the first game to the front
// and ends. The first game holds a socket named after the display; the
// kernel lets go of it however the game ends, kill -9 included.

// Claims the display for this game. False when another game has it: that
// game has been asked to come to the front. True also where nothing can be
// claimed (a display system that shows nothing, no display named, a socket
// the system refuses: said on stderr).
bool Instance_Claim(const DisplayServer &display);
// Whether another start asked for this game to come to the front since the
// last look; looks every 50 ms at most. Called as messages are taken.
bool Instance_Called();
// Lets go of the display, after the desktop has its mode back. Safe to call
// when nothing is held.
void Instance_Release();
