#pragma once

// The message box's processes. SDL shows a message box in a process it
// forks (X11's box, or zenity on Wayland) and waits for it. While one is
// asked for, the processes the main thread forks are the box's: a close
// request ends them, and they end with the game, so that no box is left on
// the screen holding the game's stdout and stderr open after it was
// killed. No other child of the game is touched: the guardian, or one the
// game inherited through exec.

// Around the call that shows a box: the main thread's children before it
// are not the box's.
void Box_BeginWatch();
void Box_EndWatch();
// Ends the box's processes; async-signal-safe, on any thread.
void Box_End();

// [SECTION] For the process hooks

// After a fork, in the game: a new child of the main thread while a box is
// asked for is the box, and is held.
void Box_Forked();
// After a fork, in the child: true when it is a box's process, which then
// ends when the game ends (and has ended already if the game went first).
bool Box_ForkedChild();
