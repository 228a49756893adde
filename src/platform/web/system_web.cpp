// The system of a page: the browser's clock, its calendar, and the page's
// events as the game's messages.

#include "platform/system.h"

#include <ctime>

#include <emscripten/emscripten.h>

#include "platform/video.h"
#include "platform/web/web_backend.h"
#include "system/clock.h"

// performance.now(): milliseconds since the page was opened, in a double
// that stays exact far beyond 49.7 days; the game's clock wraps as
// Windows' does.
static uint32_t PageMilliseconds()
{
    return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now()));
}

// The game never sleeps longer than 0 ms, which the browser's turn at the
// next frame already gives; a longer sleep gives it for that long.
void Sys_Sleep(uint32_t milliseconds)
{
    if (milliseconds > 0)
        emscripten_sleep(milliseconds);
}

int64_t Sys_Time()
{
    return static_cast<int64_t>(std::time(nullptr));
}

// A page has no signals, no other game on the same display and no
// display mode to guard: the clock and the page's events are all there is.
void Sys_Init()
{
    webPlatform = WebPlatform{};
    SetClockSource(PageMilliseconds);
    Web_ListenToPage();
}

void Sys_Shutdown()
{
    if (webPlatform.fullscreen)
        Vid_RestoreDisplayMode();
    Web_StopListening();
    webPlatform = WebPlatform{};
    SetClockSource(nullptr);
}
