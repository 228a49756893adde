// The multimedia timer. mmsystem.h declares timeGetTime as winmm's C
// function, and system/clock.h the game's own C++ one of the same name,
// so this file sees only the first and hands it out under another name;
// Sys_Init installs it as the game's clock.

#include <cstdint>

#include <windows.h>
#include <mmsystem.h>

uint32_t Win32_Milliseconds();

uint32_t Win32_Milliseconds()
{
    return static_cast<uint32_t>(timeGetTime());
}
