#pragma once

#include <cstdint>

// Gives up the rest of the time slice for milliseconds (0: just yields).
void    Sys_Sleep(uint32_t milliseconds);
// The calendar time in whole seconds.
int64_t Sys_Time();
// Starts the backend: installs its clock as timeGetTime, starts the
// guardian of the desktop's display mode, turns SIGINT, SIGTERM, SIGHUP
// and SIGQUIT into WM_CLOSE, ignores SIGPIPE, and opens the gamepads,
// which send key messages. Call first, while the program has one thread.
// Where another game already runs on the same display, asks it to come to
// the front and ends the program with 0 instead.
void    Sys_Init();
// Called on every way out: restores the display mode and the cursor if the
// game changed them, and shuts the backend down. Safe to call twice.
void    Sys_Shutdown();
