// Quarvel: entry point. The shell owns main: it starts the platform, runs
// the game and shuts the platform down.

#include "objects/ship.h"
#include "platform/system.h"
#include "shell/game_loop.h"
#include "shell/window.h"

int main(int, char **)
{
    // The game takes no command line.
    Sys_Init();
    // An error in the shield's quadric ends the program from inside GLU:
    // the desktop gets its display mode back first.
    quadricErrorTeardown = Sys_Shutdown;
#ifdef QUARVEL_STARTS_IN_WINDOW
    // In a browser the game starts in its canvas on the page: the browser
    // grants the full screen only when the player asks for it (F1).
    fullscreen = false;
#endif
    const int exitCode = RunGame();
    Sys_Shutdown();
    return exitCode;
}
