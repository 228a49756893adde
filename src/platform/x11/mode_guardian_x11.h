#pragma once

// The mode guardian's own process on X11, and what the game and the
// guardian say to each other. The game starts it (process/mode_guardian.h)
// as this program again; it reads the desktop's mode through XRandR when
// the game is about to change it, and puts it back if the game ends
// without doing so itself, however it ends (a crash, SIGKILL). When its
// command pipe closes the game has gone, and the guardian goes too.

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

// The guardian's loop on the X display of that name, in the process that
// found itself started as the guardian; the process ends with it.
[[noreturn]] void Guardian_Run(const char *displayName);
