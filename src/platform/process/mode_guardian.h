#pragma once

// The mode guardian, the game's side. On X11 the desktop's display mode
// outlives the game; a small guardian process (x11/mode_guardian_x11.h)
// puts it back however the game ends. The game starts it, tells it of
// every mode change through a pipe, and replaces it when it is lost.
// Without a guardian running, the calls below do nothing.

// In a process started as the game's guardian, runs the guardian and never
// returns; in the game, returns at once. First thing at the start.
void Guardian_RunIfGuardian();
// Starts the guardian for the X display of that name, where the game may
// change the mode. Needs the SIGCHLD and fork hooks (process_hooks.h).
void Guardian_Start(const char *displayName);
// Before a full-screen mode change: the guardian takes the mode the desktop
// has now as the one to come back to. Starts a new guardian first when the
// last one was lost. Returns once the guardian has the mode.
void Guardian_BeforeModeChange();
// After the change: the guardian takes the mode now as the game's.
void Guardian_ModeChanged();
// Before the game gives the desktop its mode back: the guardian notes
// whether the screen still shows the game's mode. Returns once it has.
void Guardian_BeforeRestore();
// After the game gave the desktop its mode back (or a change failed): where
// the screen showed the game's mode, the guardian puts back the mode the
// desktop had before the change (SDL puts back the one it saw at its start).
// Returns once it is done.
void Guardian_ModeRestored();

// [SECTION] For the process hooks

// SIGCHLD: a guardian that ended while the game lives is reaped and the
// player told. Async-signal-safe.
void Guardian_ReapIfEnded();
// In a child forked from the game: lets go of the guardian's pipes there.
void Guardian_ForgetInChild();
