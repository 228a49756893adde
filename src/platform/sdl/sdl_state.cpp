// The SDL backend's one state.

#include "platform/sdl/sdl_state.h"

#include "system/debug_log.h"

SdlState sdl;

void Sdl_ResetState()
{
    sdl = SdlState{};
}

void Sdl_ReportFailure(const char *step)
{
    StderrLine("%s: %s\n", step, SDL_GetError());
}
