#pragma once

// The guardian of the display mode: quarvel-guardian.exe, a small program
// beside quarvel.exe that puts the desktop's mode back when the game ends
// without doing so (a crash, Task Manager's End task, taskkill /F, even
// taskkill /F /IM quarvel.exe, which does not name it).
//
// The game starts it with two inherited handles: the read end of a pipe,
// as its standard input, and one of the game's own process, whose number
// follows the game's process id on its command line. The game writes one
// byte before each mode change and one after each restore; when the game's
// process ends (however it ends) or the pipe breaks, the guardian restores
// the mode if the game's was last.

// What the game writes, one byte each.
enum : char {
    guardianModeChanged = 'C',  // the screen may show the game's mode from now on
    guardianModeRestored = 'R', // the desktop has its own mode
};

// The guardian's program, in the game's own folder.
#define QUARVEL_GUARDIAN_PROGRAM L"quarvel-guardian.exe"

// The game's side, defined in guardian_win32.cpp.

// Starts the guardian, or a new one in place of one that has gone; the
// game goes on without one if it cannot.
void Guard_Start();
// Around each mode change and restore: the guardian learns whether the
// screen may be showing the game's mode.
void Guard_BeforeModeChange();
void Guard_ModeRestored();
// Called as messages are taken: a guardian that was ended (by hand, by
// Task Manager) is replaced at once, so that the game killed after it
// still gets the desktop's mode back.
void Guard_ReplaceIfGone();
// Lets the guardian go: the game has ended and the mode is back.
void Guard_Stop();
