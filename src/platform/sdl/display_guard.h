#pragma once

#include <sys/types.h>

// The desktop's display mode outlives the game. A small guardian process
// reads the desktop's mode through XRandR when the game is about to change
// it, and puts it back if the game ends without doing so itself, however it
// ends (a crash, SIGKILL). The game talks to it through a pipe; when the
// pipe closes the game has gone, and the guardian goes too. Without an X
// display these do nothing. The game's side is display_guard.cpp, the
// guardian's display_guard_x11.cpp.

// In a process started as the game's guardian, runs the guardian and never
// returns; in the game, returns at once. First thing in Sys_Init.
void  Guard_RunIfGuardian();
// Starts the guardian when the game may change the mode on X11.
void  Guard_Start();
// Ends the guardian before any mode change, where SDL took a driver other
// than X11.
void  Guard_Stop();
// Before a full-screen mode change: the guardian takes the mode the desktop
// has now as the one to come back to. Starts a new guardian first when the
// last one was lost. Returns once the guardian has the mode.
void  Guard_BeforeModeChange();
// After the change: the guardian takes the mode now as the game's.
void  Guard_ModeChanged();
// Before the game gives the desktop its mode back: the guardian notes
// whether the screen still shows the game's mode. Returns once it has.
void  Guard_BeforeRestore();
// After the game gave the desktop its mode back (or a change failed): where
// the screen showed the game's mode, the guardian puts back the mode the
// desktop had before the change (SDL puts back the one it saw at its start).
// Returns once it is done.
void  Guard_ModeRestored();
// The guardian's process id; -1 when there is none.
pid_t Guard_Pid();

// [SECTION] Between the game and its guardian

// The guardian reads commands on this descriptor and answers on the next.
constexpr int guardCommandFd = 3;
constexpr int guardAnswerFd = 4;

// What the game says to the guardian, one byte each. The guardian answers
// the ones the game waits for with guardAnswerDone.
enum : char {
    guardBeforeChange = 'P',  // read the desktop's mode now; answer
    guardChanged = 'S',       // read the game's mode now
    guardBeforeRestore = 'B', // note whether the screen shows the game's mode; answer
    guardRestored = 'R',      // make sure the desktop has its mode; answer
    guardAnswerDone = 'A',
};

// The guardian's own loop, in the process Guard_RunIfGuardian found itself
// to be. Defined in display_guard_x11.cpp.
[[noreturn]] void Guard_Run();
