#pragma once

#include <sys/types.h>

// The desktop's display mode outlives the game. A small guardian process,
// forked before the first mode change, reads the desktop's mode through
// XRandR when the game is about to change it, and puts it back if the game
// ends without doing so itself, however it ends (a crash, SIGKILL). The
// game talks to it through a pipe; when the pipe closes the game has gone,
// and the guardian goes too. Without an X display these do nothing.

// Forks the guardian. Only while the program has one thread (before SDL
// starts): the child goes on from the fork.
void  Guard_Start();
// Before a full-screen mode change: the guardian takes the mode the desktop
// has now as the one to come back to. Returns once it has.
void  Guard_BeforeModeChange();
// After the change: the guardian takes the mode now as the game's.
void  Guard_ModeChanged();
// After the game gave the desktop its mode back (or a change failed): the
// guardian restores the desktop's mode itself if the screen still has the
// game's. Returns once it is done.
void  Guard_ModeRestored();
// The guardian's process id; -1 when there is none.
pid_t Guard_Pid();
