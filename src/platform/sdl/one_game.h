#pragma once

// One game per display. Two games on one desktop would fight over its
// display mode (each would take the other's 800x600 for the desktop's), so
// a second start on the same display brings the first game to the front
// and ends. The first game holds a socket named after the display; the
// kernel lets go of it however the game ends, kill -9 included.

// Claims the display named by DISPLAY (or WAYLAND_DISPLAY) for this game.
// False when another game has it: that game has been asked to come to the
// front. True also where nothing can be claimed (no display named, a
// driver that shows nothing, a socket the system refuses: said on stderr).
bool Instance_Claim();
// Brings the game's window to the front if another start asked for it
// (looked at every 50 ms at most). Called as messages are taken.
void Instance_AnswerCalls();
// Lets go of the display, after the desktop has its mode back; for
// Sys_Shutdown. Safe to call when nothing is held.
void Instance_Release();
